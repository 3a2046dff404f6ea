#include "analytics/AnalyticsPaths.h"
#include "analytics/AnalyticsTypes.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace flintly::analytics {

namespace {
std::string xdgDirectory(const char* variable, const char* fallbackUnderHome)
{
    const char* xdg = std::getenv(variable);
    if (xdg && *xdg)
        return std::string(xdg) + "/Flintly";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/" + fallbackUnderHome + "/Flintly";
    return {};
}
}  // namespace

const char* rawValue(PersistenceType type)
{
    switch (type) {
    case PersistenceType::Events: return "events";
    case PersistenceType::People: return "people";
    case PersistenceType::Groups: return "groups";
    }
    return "events";
}

Clock systemClock()
{
    return [] {
        using namespace std::chrono;
        return duration<double>(system_clock::now().time_since_epoch()).count();
    };
}

std::string defaultCacheDirectory() { return xdgDirectory("XDG_CACHE_HOME", ".cache"); }

std::string defaultConfigDirectory() { return xdgDirectory("XDG_CONFIG_HOME", ".config"); }

bool makeDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

}  // namespace flintly::analytics
