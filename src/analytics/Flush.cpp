#include "analytics/Flush.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/JSONHandler.h"

#include <algorithm>

namespace flintly::analytics {

Flush::Flush(std::string serverURL, bool useGzip, Clock clock, NetworkTimeouts timeouts)
    : useGzipCompression(useGzip), flushRequest_(std::move(serverURL), std::move(clock), timeouts)
{}

double Flush::flushInterval() const
{
    std::lock_guard lock(intervalMutex_);
    return flushInterval_;
}

void Flush::setFlushInterval(double seconds)
{
    {
        std::lock_guard lock(intervalMutex_);
        flushInterval_ = seconds;
    }
    startFlushTimer();
}

void Flush::startFlushTimer()
{
    stopFlushTimer();
    const double interval = flushInterval();
    if (interval <= 0)
        return;
    timer_.start(std::chrono::duration<double>(interval), [this] {
        if (delegate_)
            delegate_->flush(false, nullptr);
    });
}

void Flush::stopFlushTimer() { timer_.stop(); }

void Flush::flushQueue(std::vector<nlohmann::json> queue, PersistenceType type)
{
    if (delegate_ && delegate_->hasOptedOutTracking())
        return;
    // No server configured: records wait in the store until there is one.
    if (serverURL().empty())
        return;
    if (!flushRequest_.requestsAllowedNow())
        return;
    flushQueueInBatches(std::move(queue), type);
}

void Flush::flushQueueInBatches(std::vector<nlohmann::json> queue, PersistenceType type)
{
    std::size_t start = 0;
    while (start < queue.size()) {
        // Opting out takes effect between batches too: a full flush of a long queue
        // must not go on uploading after the user said no.
        if (delegate_ && delegate_->hasOptedOutTracking())
            return;
        const std::size_t batchSize =
            std::min<std::size_t>(std::max<std::size_t>(flushBatchSize, 1), queue.size() - start);
        const std::vector<nlohmann::json> batch(queue.begin() + static_cast<std::ptrdiff_t>(start),
                                                queue.begin() + static_cast<std::ptrdiff_t>(start + batchSize));
        std::vector<std::int64_t> ids;
        ids.reserve(batch.size());
        for (const auto& record : batch) {
            const auto id = record.find("id");
            ids.push_back(id != record.end() && id->is_number_integer() ? id->get<std::int64_t>() : 0);
        }
        const std::string path = flushPath(type);
        const std::string count = std::to_string(batch.size()) + " records to " + path;
        if (logBatchContents && AnalyticsLogger::isEnabled(LogLevel::Debug))
            ANALYTICS_DEBUG("Sending batch of data "
                            + nlohmann::json(batch).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        else
            ANALYTICS_DEBUG("Sending batch of data: " + count);
        const auto requestData = JSONHandler::encodeAPIData(batch);
        if (!requestData)
            return;
        if (!flushRequest_.sendRequest(*requestData, type, useIPAddressForGeoLocation, {}, {}, useGzipCompression))
            return;
        ANALYTICS_INFO("Sent " + count);
        if (delegate_)
            delegate_->flushSuccess(type, ids);
        start += batchSize;
    }
}

}  // namespace flintly::analytics
