#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/Network.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace flintly::analytics {

const char* flushPath(PersistenceType type);  // "/track/", "/engage/", "/groups/"

// One upload request and the back-off state that outlives it: after failures (or when
// the server asks with "Retry-After") no request is made before
// `networkRequestsAllowedAfterTime`.
class FlushRequest {
public:
    // Returns a random whole number below the bound (the jitter of the back-off).
    using Random = std::function<std::uint32_t(std::uint32_t bound)>;

    FlushRequest(std::string serverURL, Clock clock, NetworkTimeouts timeouts = {});

    // Whether the server accepted the batch. Runs on the network queue and blocks there.
    bool sendRequest(const std::string& requestData, PersistenceType type, bool useIP, const Headers& headers,
                     const QueryItems& queryItems, bool useGzipCompression);

    // The server's answer: its decimal integer, or nothing when it is not one (a page
    // from a proxy or a misconfigured URL must not count as delivery).
    static std::optional<long long> parseResponse(const std::string& body);

    double networkRequestsAllowedAfterTime() const { return allowedAfter_; }
    int networkConsecutiveFailures() const { return failures_; }
    bool requestsAllowedNow() const { return clock_() >= allowedAfter_; }

    std::string serverURL() const;
    void setServerURL(const std::string& url);
    void setRandom(Random random) { random_ = std::move(random); }
    Network& network() { return network_; }

private:
    void updateRetryDelay(const Response& response);

    mutable std::mutex urlMutex_;
    std::string serverURL_;
    Clock clock_;
    Random random_;
    Network network_;
    std::atomic<double> allowedAfter_{0};
    std::atomic<int> failures_{0};
};

}  // namespace flintly::analytics
