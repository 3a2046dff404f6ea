#pragma once

#include "analytics/AnalyticsInstance.h"
#include "analytics/AnalyticsLogger.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace flintly::analytics::test {

// A fresh folder under the test process's temporary root.
std::string freshFolder(const std::string& name);

// Records the client's log messages (all levels) while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    bool contains(const std::string& text) const;
    std::size_t count(const std::string& text) const;
    std::vector<std::string> lines() const;

private:
    struct Sink;
    std::shared_ptr<Sink> sink_;
};

// A clock the test moves by hand.
struct FakeClock {
    std::atomic<double> now{1'700'000'000.0};
    Clock clock()
    {
        return [this] { return now.load(); };
    }
};

// An analytics server on loopback: records every request and answers as told.
class TestServer {
public:
    struct Request {
        std::string path;
        std::string target;  // path and query as sent
        std::string body;    // after httplib has undone any Content-Encoding
        httplib::Headers headers;
    };
    struct Answer {
        int status = 200;
        std::string body = "1";
        httplib::Headers headers;
        std::chrono::milliseconds delay{0};
        // Never answers (until the server goes), as a server that accepted the
        // connection and then stalled.
        bool hang = false;
    };

    TestServer();
    ~TestServer();

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    void setAnswer(Answer answer);
    // Runs on the server's thread for every request, once it is recorded.
    void setOnRequest(std::function<void()> hook);
    std::vector<Request> requests() const;
    std::size_t requestCount() const;
    // Every record received on a path, in arrival order.
    std::vector<nlohmann::json> records(const std::string& path) const;

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    Answer answer_;
    std::function<void()> onRequest_;
    std::vector<Request> requests_;
    std::condition_variable released_;
    bool stopping_ = false;
};

// Options for an instance that lives in its own folders, with a fixed device.
InstanceOptions testOptions(const std::string& folder, const std::string& token = "test-token");

}  // namespace flintly::analytics::test
