#include "core/CurlLibrary.h"

#include <dlfcn.h>

#include <type_traits>

namespace flintly {

namespace {

struct Loaded {
    CurlLibrary api{};
    bool ok = false;
    std::string error;

    Loaded()
    {
        // The soname of the library's current ABI, as a program linked against it asks.
        void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = dlerror();
            error = reason ? reason : "libcurl.so.4 cannot be loaded";
            return;
        }
        bool complete = true;
        const auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(handle, name));
            if (!slot) {
                complete = false;
                error = std::string("libcurl has no ") + name;
            }
        };
        bind(api.easy_init, "curl_easy_init");
        bind(api.easy_setopt, "curl_easy_setopt");
        bind(api.easy_perform, "curl_easy_perform");
        bind(api.easy_getinfo, "curl_easy_getinfo");
        bind(api.easy_reset, "curl_easy_reset");
        bind(api.easy_cleanup, "curl_easy_cleanup");
        bind(api.easy_strerror, "curl_easy_strerror");
        bind(api.slist_append, "curl_slist_append");
        bind(api.slist_free_all, "curl_slist_free_all");
        using GlobalInit = CURLcode (*)(long);
        GlobalInit globalInit = nullptr;
        bind(globalInit, "curl_global_init");
        if (!complete)
            return;
        // Kept loaded for the process: handles may be in use until its end.
        if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            error = "curl_global_init failed";
            return;
        }
        ok = true;
    }
};

const Loaded& loaded()
{
    static const Loaded instance;
    return instance;
}

}  // namespace

const CurlLibrary* CurlLibrary::get() { return loaded().ok ? &loaded().api : nullptr; }

std::string CurlLibrary::loadError() { return loaded().error; }

}  // namespace flintly
