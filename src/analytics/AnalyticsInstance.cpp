#include "analytics/AnalyticsInstance.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/AnalyticsPaths.h"
#include "analytics/AnalyticsSuite.h"
#include "analytics/JSONHandler.h"

namespace flintly::analytics {

AnalyticsInstance::AnalyticsInstance(InstanceOptions options)
    : apiToken_(options.token), name_(options.instanceName.value_or(options.token)),
      trackAutomaticEventsEnabled_(options.trackAutomaticEvents), useUniqueDistinctId_(options.useUniqueDistinctId),
      clock_(options.clock ? options.clock : systemClock()), completionDispatcher_(options.completionDispatcher),
      setUp_(setUpDone_.get_future().share()),
      flush_(options.serverURL, options.useGzipCompression, clock_, options.networkTimeouts),
      profileUpdates_({trackingQueue_, optOutStatus_, clock_, identity_}), people_(profileUpdates_),
      networkQueue_("com.analytics." + apiToken_ + ".network)", SerialQueue::Priority::Utility),
      trackingQueue_("com.analytics." + apiToken_ + ".tracking)", SerialQueue::Priority::Utility)
{
    if (options.loggingEnabled)
        setLoggingEnabled(true);
    flush_.logBatchContents = options.logBatchContents;
    flush_.setDelegate(this);
    // Opening SQLite and reading the suite (writing and syncing it on a first run) is
    // disk work the app's start-up must not wait for. Calls made from now on queue
    // behind it.
    trackingQueue_.async([this, options] { setUp(options); });
    flush_.setFlushInterval(options.flushInterval);
}

void AnalyticsInstance::setUp(const InstanceOptions& options)
{
    struct Done {
        std::promise<void>& promise;
        ~Done() { promise.set_value(); }
    } done{setUpDone_};

    // Without a token nothing may reach the disk: no database (it refuses an empty
    // name) and no suite file.
    persistence_ = std::make_unique<AnalyticsPersistence>(
        name_, options.cacheDirectory.value_or(defaultCacheDirectory()),
        apiToken_.empty() ? std::string() : options.suiteFile.value_or(AnalyticsSuite::defaultFilePath()),
        options.queueLimits);
    const DeviceInfo device = options.device ? *options.device : readDeviceInfo();
    trackInstance_ =
        std::make_unique<Track>(apiToken_, AutomaticProperties::eventProperties(device),
                                AutomaticProperties::peopleProperties(device), sessionMetadata_, *persistence_);
    profileUpdates_.setRecordBuilder(*trackInstance_);

    superProperties_.restore(*persistence_);
    timedEvents_.restore(*persistence_);
    Identity identity = persistence_->loadIdentity();
    const auto storedOptOut = persistence_->loadOptOutStatus();
    // An opt-out or opt-in called before this ran is queued behind it and wins.
    optOutStatus_ = storedOptOut.value_or(options.optOutTrackingByDefault);
    if (!storedOptOut && options.optOutTrackingByDefault)
        persistence_->saveOptOutStatus(true);

    if (identity.distinctId.empty()) {
        Identity fresh = UserIdentity::forNewDevice(useUniqueDistinctId_);
        fresh.peopleDistinctId = identity.peopleDistinctId;
        identity = std::move(fresh);
        persistence_->saveIdentity(identity);
    }
    identity_.set(identity);
    if (options.superProperties.is_object() && !options.superProperties.empty()) {
        Properties checked = options.superProperties;
        dropInvalidProperties(checked);
        superProperties_.merge(checked);
    }
}

void AnalyticsInstance::waitUntilSetUp() const
{
    if (trackingQueue_.isCurrent() || networkQueue_.isCurrent())
        return;
    setUp_.wait();
}

AnalyticsInstance::~AnalyticsInstance()
{
    flush_.stopFlushTimer();
    flush_.setDelegate(nullptr);
    flush_.flushRequest().network().cancel();
    trackingQueue_.drain();
    networkQueue_.drain();
}

// ---- tracking -------------------------------------------------------------------------

void AnalyticsInstance::track(const std::optional<std::string>& event, const Properties& properties)
{
    if (optOutStatus_)
        return;
    const double captureTime = clock_();
    trackingQueue_.async([this, event, properties, captureTime] { trackOnQueue(event, properties, captureTime); });
}

void AnalyticsInstance::trackOnQueue(const std::optional<std::string>& event, Properties properties, double captureTime)
{
    if (hasOptedOutTracking())
        return;
    trackInstance_->track(event, std::move(properties), captureTime, timedEvents_, superProperties_.values(),
                          identity(), trackAutomaticEventsEnabled_);
    timedEvents_.saveTaken();
}

void AnalyticsInstance::trackWithGroups(const std::optional<std::string>& event, const Properties& properties,
                                        const Properties& groups)
{
    Properties merged = properties.is_object() ? properties : Properties::object();
    if (groups.is_object())
        merged.update(groups);
    track(event, merged);
}

void AnalyticsInstance::time(const std::string& event)
{
    if (event.empty()) {
        ANALYTICS_ERROR("analytics cannot time an empty event");
        return;
    }
    const double start = clock_();
    trackingQueue_.async([this, event, start] { timedEvents_.start(event, start); });
}

void AnalyticsInstance::clearTimedEvent(const std::string& event)
{
    if (event.empty()) {
        ANALYTICS_ERROR("analytics cannot clear an empty timed event");
        return;
    }
    trackingQueue_.async([this, event] { timedEvents_.clear(event); });
}

void AnalyticsInstance::clearTimedEvents()
{
    trackingQueue_.async([this] { timedEvents_.clearAll(); });
}

// ---- identity -------------------------------------------------------------------------

std::string AnalyticsInstance::debugDescription() const
{
    return "Analytics(\n    Token: " + apiToken_ + ",\n    Distinct Id: " + distinctId() + "\n)";
}

void AnalyticsInstance::identify(const std::string& distinctId, bool usePeople, std::function<void()> completion)
{
    if (optOutStatus_) {
        complete(completion);
        return;
    }
    if (distinctId.empty()) {
        ANALYTICS_ERROR(debugDescription() + " cannot identify blank distinct id");
        complete(completion);
        return;
    }
    trackingQueue_.async([this, distinctId, usePeople, completion] {
        // Checked again here: the stored opt-out is known only after set-up.
        if (!hasOptedOutTracking())
            identifyOnQueue(distinctId, usePeople);
        complete(completion);
    });
}

void AnalyticsInstance::identifyOnQueue(const std::string& distinctId, bool usePeople)
{
    if (const auto previous = identity_.identify(distinctId, usePeople))
        trackOnQueue("$identify", {{"$anon_distinct_id", *previous}}, clock_());
    if (usePeople)
        persistence_->identifyPeople();
    saveIdentity();
}

void AnalyticsInstance::createAlias(const std::string& alias, const std::string& distinctId, bool usePeople,
                                    bool andIdentify, std::function<void()> completion)
{
    if (optOutStatus_) {
        complete(completion);
        return;
    }
    if (alias.empty()) {
        ANALYTICS_ERROR(debugDescription() + " create alias called with empty alias");
        complete(completion);
        return;
    }
    if (alias == distinctId) {
        ANALYTICS_INFO("alias: " + alias + " matches distinctId: " + distinctId + " - skipping api call.");
        complete(completion);
        return;
    }
    if (distinctId.empty()) {
        ANALYTICS_ERROR(debugDescription() + " cannot identify blank distinct id");
        complete(completion);
        return;
    }
    const double captureTime = clock_();
    trackingQueue_.async([this, alias, distinctId, usePeople, andIdentify, captureTime] {
        identity_.setAlias(alias);
        saveIdentity();
        trackOnQueue("$create_alias", {{"distinct_id", distinctId}, {"alias", alias}}, captureTime);
        if (andIdentify)
            identifyOnQueue(distinctId, usePeople);
    });
    flush(false, std::move(completion));
}

void AnalyticsInstance::reset(std::function<void()> completion)
{
    flush();
    trackingQueue_.async([this, completion] {
        forgetTrackedState();
        identity_.set(UserIdentity::forNewDevice(useUniqueDistinctId_));
        sessionMetadata_ = SessionMetadata();
        saveIdentity();
        complete(completion);
    });
}

void AnalyticsInstance::forgetTrackedState()
{
    persistence_->resetEntities();
    superProperties_.clear();
    timedEvents_.clearAll();
}

void AnalyticsInstance::saveIdentity() { persistence_->saveIdentity(identity()); }

Identity AnalyticsInstance::identity() const
{
    waitUntilSetUp();
    return identity_.get();
}

// ---- super properties -----------------------------------------------------------------

void AnalyticsInstance::registerSuperProperties(const Properties& properties)
{
    Properties checked = properties;
    dropInvalidProperties(checked);
    trackingQueue_.async([this, checked] { superProperties_.merge(checked); });
}

void AnalyticsInstance::unregisterSuperProperty(const std::string& name)
{
    trackingQueue_.async([this, name] { superProperties_.remove(name); });
}

void AnalyticsInstance::clearSuperProperties()
{
    trackingQueue_.async([this] { superProperties_.clear(); });
}

Properties AnalyticsInstance::currentSuperProperties()
{
    Properties copy;
    trackingQueue_.sync([&] { copy = superProperties_.values(); });
    return copy;
}

// ---- opt-out --------------------------------------------------------------------------

void AnalyticsInstance::optOutTracking()
{
    // Recorded at once so that calls made from now on are dropped, then the queued
    // records and state are cleared in order behind the calls already queued.
    optOutStatus_ = true;
    trackingQueue_.async([this] {
        optOutStatus_ = true;  // over what set-up read, if it ran after the call
        forgetTrackedState();
        persistence_->saveOptOutStatus(true);
    });
}

void AnalyticsInstance::optInTracking(const std::optional<std::string>& distinctId, const Properties& properties)
{
    optOutStatus_ = false;
    trackingQueue_.async([this] {
        optOutStatus_ = false;
        persistence_->saveOptOutStatus(false);
    });
    if (distinctId)
        identify(*distinctId);
    track("$opt_in", properties);
}

bool AnalyticsInstance::hasOptedOutTracking() const
{
    waitUntilSetUp();
    return optOutStatus_;
}

// ---- people and groups ----------------------------------------------------------------

Group& AnalyticsInstance::getGroup(const std::string& groupKey, const nlohmann::json& groupID)
{
    const std::string key = groupKey + "_" + groupID.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard lock(groupsMutex_);
    auto& slot = groups_[key];
    if (slot && (slot->groupKey() != groupKey || slot->groupID() != groupID)) {
        ANALYTICS_INFO("groups dictionary key collision: " + key);
        slot.reset();
    }
    if (!slot)
        slot = std::make_unique<Group>(profileUpdates_, groupKey, groupID);
    return *slot;
}

void AnalyticsInstance::setGroup(const std::string& groupKey, const std::vector<Value>& groupIDs)
{
    registerSuperProperties({{groupKey, groupIDs}});
    people_.set({{groupKey, groupIDs}});
}

void AnalyticsInstance::addGroup(const std::string& groupKey, const Value& groupID)
{
    trackingQueue_.async([this, groupKey, groupID] { superProperties_.addGroupId(groupKey, groupID); });
    people_.union_({{groupKey, nlohmann::json::array({groupID})}});
}

void AnalyticsInstance::removeGroup(const std::string& groupKey, const Value& groupID)
{
    trackingQueue_.async([this, groupKey, groupID] { superProperties_.removeGroupId(groupKey, groupID); });
    people_.remove({{groupKey, groupID}});
}

// ---- flushing -------------------------------------------------------------------------

void AnalyticsInstance::flush(bool performFullFlush, std::function<void()> completion)
{
    // The records are read on the network queue, after the tracking queue has stored
    // everything tracked before this call. Reading there (not on the tracking queue)
    // means a second flush cannot read rows that the first is still sending, so no
    // record goes out twice when flushes overlap a slow server.
    trackingQueue_.async([this, performFullFlush, completion] {
        networkQueue_.async([this, performFullFlush, completion] {
            const std::int64_t limit =
                performFullFlush ? AnalyticsDB::kAllRows : static_cast<std::int64_t>(flush_.flushBatchSize.load());
            if (!hasOptedOutTracking() && !flush_.serverURL().empty()) {
                const std::string id = distinctId();
                auto events = persistence_->loadEntitiesInBatch(PersistenceType::Events, limit, false,
                                                                !trackAutomaticEventsEnabled_, id);
                auto people = persistence_->loadEntitiesInBatch(PersistenceType::People, limit, false, false, id);
                auto groups = persistence_->loadEntitiesInBatch(PersistenceType::Groups, limit, false, false, id);
                flush_.flushQueue(std::move(events), PersistenceType::Events);
                flush_.flushQueue(std::move(people), PersistenceType::People);
                flush_.flushQueue(std::move(groups), PersistenceType::Groups);
            }
            complete(completion);
        });
    });
}

void AnalyticsInstance::flushSuccess(PersistenceType type, const std::vector<std::int64_t>& ids)
{
    persistence_->removeEntitiesInBatch(type, ids);
}

void AnalyticsInstance::applicationDidBecomeActive() { flush_.startFlushTimer(); }

void AnalyticsInstance::applicationWillResignActive()
{
    flush_.stopFlushTimer();
    if (flush_.flushOnBackground)
        flush();
}

void AnalyticsInstance::waitForPendingWork()
{
    trackingQueue_.drain();
    networkQueue_.drain();
}

void AnalyticsInstance::setLoggingEnabled(bool enabled)
{
    loggingEnabled_ = enabled;
    AnalyticsLogger::setLoggingEnabled(enabled);
}

void AnalyticsInstance::complete(const std::function<void()>& completion)
{
    if (!completion)
        return;
    if (completionDispatcher_)
        completionDispatcher_(completion);
    else
        completion();
}

}  // namespace flintly::analytics
