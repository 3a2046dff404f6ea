#include "analytics/AnalyticsSuite.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/AnalyticsPaths.h"

#include <fcntl.h>
#include <unistd.h>

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

bool writeAll(int fd, const std::string& data)
{
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

AnalyticsSuite::AnalyticsSuite(std::string filePath) : filePath_(std::move(filePath)) {}

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
    // Temporary file, fsync, rename over the old one, fsync the folder: readers see
    // either the old or the new values, never a torn file.
    const std::filesystem::path target(filePath_);
    const auto folder = target.parent_path();
    makeDirectories(folder.string());
    const std::string temporary = filePath_ + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        ANALYTICS_ERROR("Unable to write " + filePath_ + ", error: " + std::strerror(errno));
        return false;
    }
    const bool ok = writeAll(fd, contents.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) &&
                    ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), filePath_.c_str()) != 0) {
        ANALYTICS_ERROR("Unable to write " + filePath_ + ", error: " + std::strerror(ok ? errno : savedErrno));
        ::unlink(temporary.c_str());
        return false;
    }
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace flintly::analytics
