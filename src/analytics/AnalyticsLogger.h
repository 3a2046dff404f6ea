#pragma once

#include <memory>
#include <string>

namespace flintly::analytics {

enum class LogLevel { Debug, Info, Warning, Error };

const char* levelName(LogLevel level);

struct LogMessage {
    std::string file;
    std::string function;
    std::string text;
    LogLevel level;
};

// A destination for the client's log messages (the console, or a test that records).
class Logging {
public:
    virtual ~Logging() = default;
    virtual void addMessage(const LogMessage& message) = 0;
};

// Prints "[Analytics - {file} - func {function}] ({level}) - {text}" on standard output.
class ConsoleLogging final : public Logging {
public:
    void addMessage(const LogMessage& message) override;
};

// Process-wide, like the client's instances: levels start disabled, so a client that
// never turns logging on costs one atomic load per message.
class AnalyticsLogger {
public:
    static void addLogging(std::shared_ptr<Logging> logging);
    static void removeLogging(const std::shared_ptr<Logging>& logging);
    static void enableLevel(LogLevel level);
    static void disableLevel(LogLevel level);
    static bool isEnabled(LogLevel level);

    // Turns every level on and makes sure the console sees them (what `loggingEnabled`
    // = true means), or turns every level off.
    static void setLoggingEnabled(bool enabled);

    static void log(LogLevel level, const char* file, const char* function, const std::string& text);
};

}  // namespace flintly::analytics

// The file and function are captured where the message is written, as the console line
// names them.
#define ANALYTICS_LOG(level, text)                                                                                     \
    do {                                                                                                               \
        if (::flintly::analytics::AnalyticsLogger::isEnabled(level))                                                   \
            ::flintly::analytics::AnalyticsLogger::log(level, __FILE__, __func__, (text));                             \
    } while (0)
#define ANALYTICS_DEBUG(text) ANALYTICS_LOG(::flintly::analytics::LogLevel::Debug, text)
#define ANALYTICS_INFO(text) ANALYTICS_LOG(::flintly::analytics::LogLevel::Info, text)
#define ANALYTICS_WARNING(text) ANALYTICS_LOG(::flintly::analytics::LogLevel::Warning, text)
#define ANALYTICS_ERROR(text) ANALYTICS_LOG(::flintly::analytics::LogLevel::Error, text)
