#include "analytics/AnalyticsLogger.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

namespace flintly::analytics {

namespace {

std::atomic<unsigned> g_enabledLevels{0};

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<Logging>> loggings;
    std::shared_ptr<Logging> console;
};

// Never destroyed: the client's queues may still log while the process's static
// objects are torn down (a request abandoned at exit, records stored at the last
// moment), and a registry destroyed before them would be used after its end.
Registry& registry()
{
    static Registry* r = new Registry;
    return *r;
}

unsigned bit(LogLevel level) { return 1u << static_cast<unsigned>(level); }

std::string baseName(const char* path)
{
    std::string p(path ? path : "");
    const auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

const char* levelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug: return "debug";
    case LogLevel::Info: return "info";
    case LogLevel::Warning: return "warning";
    case LogLevel::Error: return "error";
    }
    return "info";
}

void ConsoleLogging::addMessage(const LogMessage& message)
{
    // One write per line and an explicit flush, so lines of the tracking and network
    // threads never interleave and none is lost if the process dies right after.
    const std::string line = "[Analytics - " + message.file + " - func " + message.function + "] ("
        + levelName(message.level) + ") - " + message.text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void AnalyticsLogger::addLogging(std::shared_ptr<Logging> logging)
{
    if (!logging)
        return;
    std::lock_guard lock(registry().mutex);
    registry().loggings.push_back(std::move(logging));
}

void AnalyticsLogger::removeLogging(const std::shared_ptr<Logging>& logging)
{
    std::lock_guard lock(registry().mutex);
    auto& v = registry().loggings;
    v.erase(std::remove(v.begin(), v.end(), logging), v.end());
}

void AnalyticsLogger::enableLevel(LogLevel level) { g_enabledLevels.fetch_or(bit(level)); }

void AnalyticsLogger::disableLevel(LogLevel level) { g_enabledLevels.fetch_and(~bit(level)); }

bool AnalyticsLogger::isEnabled(LogLevel level)
{
    return (g_enabledLevels.load(std::memory_order_relaxed) & bit(level)) != 0;
}

void AnalyticsLogger::setLoggingEnabled(bool enabled)
{
    if (enabled) {
        {
            std::lock_guard lock(registry().mutex);
            if (!registry().console) {
                registry().console = std::make_shared<ConsoleLogging>();
                registry().loggings.push_back(registry().console);
            }
        }
        for (auto level : {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error})
            enableLevel(level);
        ANALYTICS_INFO("AnalyticsLogging Enabled");
    } else {
        ANALYTICS_INFO("AnalyticsLogging Disabled");
        for (auto level : {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error})
            disableLevel(level);
    }
}

void AnalyticsLogger::log(LogLevel level, const char* file, const char* function, const std::string& text)
{
    if (!isEnabled(level))
        return;
    const LogMessage message{baseName(file), function ? function : "", text, level};
    std::vector<std::shared_ptr<Logging>> targets;
    {
        std::lock_guard lock(registry().mutex);
        targets = registry().loggings;
    }
    for (const auto& target : targets)
        target->addMessage(message);
}

}  // namespace flintly::analytics
