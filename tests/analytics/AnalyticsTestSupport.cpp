#include "AnalyticsTestSupport.h"

#include "support/TestEnvironment.h"

#include <algorithm>

namespace flintly::analytics::test {

std::string freshFolder(const std::string& name)
{
    static std::atomic<int> counter{0};
    const auto path = flintly::test::temporaryRoot().toStdString() + "/" + name + "-" + std::to_string(++counter);
    std::filesystem::create_directories(path);
    return path;
}

struct LogCapture::Sink : Logging {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
    void addMessage(const LogMessage& message) override
    {
        std::lock_guard lock(mutex);
        lines.push_back(std::string("(") + levelName(message.level) + ") " + message.text);
    }
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>())
{
    AnalyticsLogger::addLogging(sink_);
    for (auto level : {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error})
        AnalyticsLogger::enableLevel(level);
}

LogCapture::~LogCapture()
{
    AnalyticsLogger::removeLogging(sink_);
    for (auto level : {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error})
        AnalyticsLogger::disableLevel(level);
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(sink_->mutex);
    return sink_->lines;
}

std::size_t LogCapture::count(const std::string& text) const
{
    const auto all = lines();
    return static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

bool LogCapture::contains(const std::string& text) const { return count(text) > 0; }

TestServer::TestServer()
{
    server_.Post(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        Answer answer;
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({request.path, request.target, request.body, request.headers});
            answer = answer_;
            hook = onRequest_;
        }
        if (hook)
            hook();
        if (answer.hang) {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return stopping_; });
        }
        if (answer.delay.count() > 0)
            std::this_thread::sleep_for(answer.delay);
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers)
            response.set_header(name, value);
        response.set_content(answer.body, "text/plain");
    });
    server_.set_tcp_nodelay(true);  // else each reply waits ~40 ms on delayed ACKs
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is ignored until the accept loop runs, and a server stopped too early
    // would then accept forever.
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    released_.notify_all();
    server_.stop();
    thread_.join();
}

void TestServer::setAnswer(Answer answer)
{
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
}

void TestServer::setOnRequest(std::function<void()> hook)
{
    std::lock_guard lock(mutex_);
    onRequest_ = std::move(hook);
}

std::vector<TestServer::Request> TestServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestServer::requestCount() const
{
    std::lock_guard lock(mutex_);
    return requests_.size();
}

std::vector<nlohmann::json> TestServer::records(const std::string& path) const
{
    std::vector<nlohmann::json> out;
    for (const auto& request : requests()) {
        if (request.path != path)
            continue;
        for (auto& record : nlohmann::json::parse(request.body))
            out.push_back(record);
    }
    return out;
}

InstanceOptions testOptions(const std::string& folder, const std::string& token)
{
    InstanceOptions options;
    options.token = token;
    options.flushInterval = 0;  // tests flush by hand
    options.cacheDirectory = folder + "/cache";
    options.suiteFile = folder + "/config/Analytics.json";
    DeviceInfo device;
    device.screenWidth = 1920;
    device.screenHeight = 1080;
    device.appVersion = "0.1.0";
    device.appBuildNumber = "7";
    device.osVersion = "Debian GNU/Linux 12 (bookworm)";
    device.manufacturer = "QEMU";
    device.model = "Standard PC";
    options.device = device;
    options.networkTimeouts = {2, 4};
    return options;
}

}  // namespace flintly::analytics::test
