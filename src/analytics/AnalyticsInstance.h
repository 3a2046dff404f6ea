#pragma once

#include "analytics/AnalyticsPersistence.h"
#include "analytics/AnalyticsTypes.h"
#include "analytics/Flush.h"
#include "analytics/Group.h"
#include "analytics/InstanceOptions.h"
#include "analytics/People.h"
#include "analytics/ProfileUpdates.h"
#include "analytics/SessionMetadata.h"
#include "analytics/SuperProperties.h"
#include "analytics/TimedEvents.h"
#include "analytics/Track.h"
#include "analytics/UserIdentity.h"

#include "core/SerialQueue.h"

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace flintly::analytics {

// One analytics client: turns track calls into complete records, keeps the user's
// identity, super properties and timed events, and flushes the stored records.
// Public calls may come from any thread and never wait for storage or the network:
// records are built on the tracking queue and uploaded on the network queue.
class AnalyticsInstance final : public FlushDelegate {
public:
    // Returns at once: opening the store and reading the saved state happen on the
    // tracking queue, ahead of every call made afterwards.
    explicit AnalyticsInstance(InstanceOptions options);
    // Stops the timer, abandons a request in flight and runs what is queued.
    ~AnalyticsInstance() override;

    AnalyticsInstance(const AnalyticsInstance&) = delete;
    AnalyticsInstance& operator=(const AnalyticsInstance&) = delete;

    void track(const std::optional<std::string>& event, const Properties& properties = Properties::object());
    void trackWithGroups(const std::optional<std::string>& event, const Properties& properties,
                         const Properties& groups);

    void time(const std::string& event);
    void clearTimedEvent(const std::string& event);
    void clearTimedEvents();

    void identify(const std::string& distinctId, bool usePeople = true, std::function<void()> completion = nullptr);
    void createAlias(const std::string& alias, const std::string& distinctId, bool usePeople = true,
                     bool andIdentify = true, std::function<void()> completion = nullptr);
    // New anonymous identity; drops queued records, super properties and timed events.
    void reset(std::function<void()> completion = nullptr);

    void registerSuperProperties(const Properties& properties);
    void unregisterSuperProperty(const std::string& name);
    void clearSuperProperties();
    Properties currentSuperProperties();

    void optOutTracking();
    void optInTracking(const std::optional<std::string>& distinctId = std::nullopt,
                       const Properties& properties = Properties::object());
    bool hasOptedOutTracking() const override;

    People& people() { return people_; }
    Group& getGroup(const std::string& groupKey, const nlohmann::json& groupID);
    void setGroup(const std::string& groupKey, const std::vector<Value>& groupIDs);
    void addGroup(const std::string& groupKey, const Value& groupID);
    void removeGroup(const std::string& groupKey, const Value& groupID);

    // Uploads stored records: up to one batch per queue, or everything for a full flush.
    void flush(bool performFullFlush = false, std::function<void()> completion = nullptr) override;
    void flushSuccess(PersistenceType type, const std::vector<std::int64_t>& ids) override;

    // The app forwards its activation changes.
    void applicationDidBecomeActive();
    void applicationWillResignActive();

    bool loggingEnabled() const { return loggingEnabled_; }
    void setLoggingEnabled(bool enabled);

    double flushInterval() const { return flush_.flushInterval(); }
    void setFlushInterval(double seconds) { flush_.setFlushInterval(seconds); }
    std::string serverURL() const { return flush_.serverURL(); }
    void setServerURL(const std::string& url) { flush_.setServerURL(url); }

    Identity identity() const;
    std::string distinctId() const { return identity().distinctId; }
    std::optional<std::string> anonymousId() const { return identity().anonymousId; }
    std::optional<std::string> userId() const { return identity().userId; }
    std::optional<std::string> alias() const { return identity().alias; }
    std::optional<std::string> peopleDistinctId() const { return identity().peopleDistinctId; }

    const std::string& apiToken() const { return apiToken_; }
    const std::string& name() const { return name_; }
    std::string debugDescription() const;

    // Blocks until everything queued before the call has been stored and sent.
    void waitForPendingWork();

    Flush& flusher() { return flush_; }
    AnalyticsPersistence& persistence()
    {
        waitUntilSetUp();
        return *persistence_;
    }
    SerialQueue& trackingQueue() { return trackingQueue_; }
    SerialQueue& networkQueue() { return networkQueue_; }

private:
    void setUp(const InstanceOptions& options);
    // Identity and storage are known only once set-up has run; callers on other
    // threads wait for it (the client's own queues run after it anyway).
    void waitUntilSetUp() const;
    void trackOnQueue(const std::optional<std::string>& event, Properties properties, double captureTime);
    void identifyOnQueue(const std::string& distinctId, bool usePeople);
    void saveIdentity();
    // Drops the records, super properties and timed events (reset, opt-out).
    void forgetTrackedState();
    void complete(const std::function<void()>& completion);

    const std::string apiToken_;
    const std::string name_;
    const bool trackAutomaticEventsEnabled_;
    const bool useUniqueDistinctId_;
    Clock clock_;
    std::function<void(std::function<void()>)> completionDispatcher_;
    std::atomic<bool> loggingEnabled_{false};

    UserIdentity identity_;
    // Read at once by calls from outside, to drop work early; what set-up loads from
    // the suite counts from then on.
    std::atomic<bool> optOutStatus_{false};

    // Tracking-queue state.
    SuperProperties superProperties_;
    TimedEvents timedEvents_;
    SessionMetadata sessionMetadata_;

    std::promise<void> setUpDone_;
    std::shared_future<void> setUp_;
    std::unique_ptr<AnalyticsPersistence> persistence_;
    std::unique_ptr<Track> trackInstance_;
    Flush flush_;
    ProfileUpdates profileUpdates_;
    People people_;
    std::mutex groupsMutex_;
    std::map<std::string, std::unique_ptr<Group>> groups_;

    // Declared last so they go first: their pending work uses everything above. The
    // tracking queue goes before the network queue because it feeds it.
    SerialQueue networkQueue_;
    SerialQueue trackingQueue_;
};

}  // namespace flintly::analytics
