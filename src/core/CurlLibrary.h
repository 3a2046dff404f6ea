#pragma once

#include <curl/curl.h>

#include <string>

namespace flintly {

// libcurl, loaded the first time something goes to the network rather than with the
// program. It brings some twenty libraries (TLS, LDAP, SSH, IDN ...) whose loading and
// symbol binding every start would otherwise wait for, and nothing needs the network
// before the editor is on screen: uploads and update checks come later.
struct CurlLibrary {
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_perform)(CURL*);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    void (*easy_reset)(CURL*);
    void (*easy_cleanup)(CURL*);
    const char* (*easy_strerror)(CURLcode);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);

    // Loaded and set up (curl_global_init) once, from any thread; null when the library
    // or one of its functions cannot be found, with the reason in `loadError()`.
    static const CurlLibrary* get();
    static std::string loadError();
};

}  // namespace flintly
