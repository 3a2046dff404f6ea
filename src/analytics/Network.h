#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace flintly::analytics {

using QueryItems = std::vector<std::pair<std::string, std::string>>;
using Headers = std::map<std::string, std::string>;

// One request description.
struct Resource {
    enum class Method { Get, Post };
    std::string path;
    Method method = Method::Post;
    std::optional<std::string> requestBody;
    QueryItems queryItems;
    Headers headers;
    // Reads the response body; nullopt means it could not be understood.
    std::function<std::optional<long long>(const std::string&)> parse;
};

struct Response {
    long statusCode = 0;  // 0: no HTTP response at all
    std::string body;
    Headers headers;  // names in lower case
};

// Why a request failed.
struct Reason {
    enum class Kind { ParseError, NoData, NotOKStatusCode, Other };
    Kind kind = Kind::Other;
    long statusCode = 0;
    std::string error;

    std::string description() const;
};

struct NetworkTimeouts {
    // Longest silence while connecting or receiving before the request is abandoned.
    double requestSeconds = 60;
    // Longest a request may hold the network queue in all.
    double waitSeconds = 120;
};

// Blocking HTTP on libcurl, run on the client's network queue. One connection is kept
// for the queue's life so that a flush of many batches reuses it.
class Network {
public:
    // The upload protocol's answers are a few bytes; a reply (headers and body) larger
    // than this is a failure, not something to buffer.
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024;

    explicit Network(NetworkTimeouts timeouts = {});
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // The full URL of a resource under the base URL (path appended to the base's path,
    // query items percent-encoded, "+" sent as "%2B" so servers do not read a space);
    // empty when the base is not an http(s) URL.
    static std::string buildURL(const std::string& base, const Resource& resource);

    // Classifies the outcome as the upload protocol needs it: success with the parsed
    // result, or failure with its reason. The response is given in both cases (it may be
    // empty when nothing came back).
    void apiRequest(const std::string& base, const Resource& resource,
                    const std::function<void(const Reason&, const Response&)>& failure,
                    const std::function<void(long long, const Response&)>& success);

    // Abandons the request in flight and every later one (used when the client goes).
    void cancel() { cancelled_ = true; }

private:
    static int progress(void* self, long long, long long, long long, long long);

    NetworkTimeouts timeouts_;
    void* curl_ = nullptr;
    std::atomic<bool> cancelled_{false};
};

}  // namespace flintly::analytics
