#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/FlushRequest.h"
#include "analytics/RepeatingTimer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace flintly::analytics {

// What the flusher needs from its client.
class FlushDelegate {
public:
    virtual ~FlushDelegate() = default;
    virtual void flush(bool performFullFlush, std::function<void()> completion) = 0;
    virtual void flushSuccess(PersistenceType type, const std::vector<std::int64_t>& ids) = 0;
    virtual bool hasOptedOutTracking() const = 0;
};

// Moves stored records to the server: on a repeating timer and on request, in batches,
// deleting each batch only after the server accepted it.
class Flush {
public:
    Flush(std::string serverURL, bool useGzipCompression, Clock clock, NetworkTimeouts timeouts = {});

    // The delegate must outlive the flusher's timer (the client stops it before going).
    void setDelegate(FlushDelegate* delegate) { delegate_ = delegate; }

    void startFlushTimer();
    void stopFlushTimer();
    bool isFlushTimerRunning() const { return timer_.isRunning(); }

    double flushInterval() const;
    // Restarts the timer with the new interval (0 stops it).
    void setFlushInterval(double seconds);

    // Sends the records of one queue, batch by batch. Runs on the network queue.
    void flushQueue(std::vector<nlohmann::json> queue, PersistenceType type);

    std::string serverURL() const { return flushRequest_.serverURL(); }
    void setServerURL(const std::string& url) { flushRequest_.setServerURL(url); }
    FlushRequest& flushRequest() { return flushRequest_; }

    std::atomic<bool> useIPAddressForGeoLocation{true};
    std::atomic<bool> flushOnBackground{true};
    std::atomic<std::size_t> flushBatchSize{50};
    // The records themselves in the debug line of each batch; off, the line only counts.
    std::atomic<bool> logBatchContents{false};
    const bool useGzipCompression;

private:
    void flushQueueInBatches(std::vector<nlohmann::json> queue, PersistenceType type);

    FlushDelegate* delegate_ = nullptr;
    FlushRequest flushRequest_;
    RepeatingTimer timer_;
    mutable std::mutex intervalMutex_;
    double flushInterval_ = 0;
};

}  // namespace flintly::analytics
