#include "analytics/AnalyticsSuite.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/AnalyticsPaths.h"
#include "core/DurableWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace flintly::analytics {

namespace {
// Instances of the client in one process share the file (keys carry the instance name),
// so read-modify-write must not interleave.
std::mutex& fileMutex()
{
    static std::mutex m;
    return m;
}
}  // namespace

AnalyticsSuite::AnalyticsSuite(std::string filePath) : filePath_(std::move(filePath)) {}

std::string AnalyticsSuite::defaultFilePath()
{
    const auto config = defaultConfigDirectory();
    return config.empty() ? std::string() : config + "/" + kFileName;
}

nlohmann::json AnalyticsSuite::load() const
{
    std::ifstream in(filePath_, std::ios::binary);
    if (!in)
        return nlohmann::json::object();
    std::stringstream buffer;
    buffer << in.rdbuf();
    auto contents = nlohmann::json::parse(buffer.str(), nullptr, false);
    if (contents.is_discarded() || !contents.is_object())
        return nlohmann::json::object();
    return contents;
}

nlohmann::json AnalyticsSuite::value(const std::string& key) const
{
    if (filePath_.empty())
        return nullptr;
    std::lock_guard lock(fileMutex());
    const auto contents = load();
    const auto it = contents.find(key);
    return it == contents.end() ? nlohmann::json() : *it;
}

bool AnalyticsSuite::setValues(const std::map<std::string, std::optional<nlohmann::json>>& values)
{
    if (filePath_.empty())
        return true;
    std::lock_guard lock(fileMutex());
    auto contents = load();
    for (const auto& [key, value] : values) {
        if (value)
            contents[key] = *value;
        else
            contents.erase(key);
    }
    return synchronize(contents);
}

bool AnalyticsSuite::synchronize(const nlohmann::json& contents) const
{
    // Readers see either the old or the new values, never a torn file.
    try {
        writeFileDurably(filePath_, contents.dump(2, ' ', false, nlohmann::json::error_handler_t::replace), 0600);
    } catch (const DurableWriteError& e) {
        if (e.written())
            return true;  // in place; only its folder entry may not have reached the disk yet
        ANALYTICS_ERROR("Unable to write " + filePath_ + ", error: " + std::strerror(e.error()));
        return false;
    }
    return true;
}

}  // namespace flintly::analytics
