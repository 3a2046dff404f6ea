#include "analytics/AnalyticsInstance.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/AnalyticsPaths.h"
#include "analytics/AnalyticsSuite.h"
#include "analytics/JSONHandler.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

namespace flintly::analytics {

namespace {

std::string randomUUID()
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t high = generator();
    std::uint64_t low = generator();
    high = (high & 0xffffffffffff0fffULL) | 0x0000000000004000ULL;  // version 4
    low = (low & 0x3fffffffffffffffULL) | 0x8000000000000000ULL;    // RFC 4122 variant
    char buffer[37];
    std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xffff), static_cast<unsigned>(high & 0xffff),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xffffffffffffULL));
    return buffer;
}

// The stable id of this machine, for clients that ask for one id per device.
std::optional<std::string> machineId()
{
    std::ifstream in("/etc/machine-id");
    std::string id;
    if (in >> id && !id.empty())
        return id;
    return std::nullopt;
}

std::string suitePathFor(const InstanceOptions& options)
{
    if (options.suiteFile)
        return *options.suiteFile;
    const auto config = defaultConfigDirectory();
    return config.empty() ? std::string() : config + "/" + AnalyticsSuite::kFileName;
}

}  // namespace

AnalyticsInstance::AnalyticsInstance(InstanceOptions options)
    : apiToken_(options.token), name_(options.instanceName.value_or(options.token)),
      trackAutomaticEventsEnabled_(options.trackAutomaticEvents), useUniqueDistinctId_(options.useUniqueDistinctId),
      clock_(options.clock ? options.clock : systemClock()), completionDispatcher_(options.completionDispatcher),
      setUp_(setUpDone_.get_future().share()),
      flush_(options.serverURL, options.useGzipCompression, clock_, options.networkTimeouts), people_(*this),
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
        apiToken_.empty() ? std::string() : suitePathFor(options), options.queueLimits);
    const DeviceInfo device = options.device ? *options.device : readDeviceInfo();
    trackInstance_ =
        std::make_unique<Track>(apiToken_, AutomaticProperties::eventProperties(device),
                                AutomaticProperties::peopleProperties(device), sessionMetadata_, *persistence_);

    superProperties_ = persistence_->loadSuperProperties();
    timedEvents_ = persistence_->loadTimedEvents();
    Identity identity = persistence_->loadIdentity();
    const auto storedOptOut = persistence_->loadOptOutStatus();
    // An opt-out or opt-in called before this ran is queued behind it and wins.
    optOutStatus_ = storedOptOut.value_or(options.optOutTrackingByDefault);
    if (!storedOptOut && options.optOutTrackingByDefault)
        persistence_->saveOptOutStatus(true);

    if (identity.distinctId.empty()) {
        std::optional<std::string> deviceId;
        if (useUniqueDistinctId_)
            deviceId = machineId();
        if (!deviceId)
            deviceId = randomUUID();
        identity.anonymousId = *deviceId;
        identity.distinctId = "$device:" + *deviceId;
        identity.hadPersistedDistinctId = true;
        identity.userId.reset();
        identity.alias.reset();
        persistence_->saveIdentity(identity);
    }
    readWriteLock_.write([&] { identity_ = identity; });
    if (options.superProperties.is_object() && !options.superProperties.empty()) {
        Properties checked = options.superProperties;
        dropInvalidProperties(checked);
        superProperties_.update(checked);
        persistence_->saveSuperProperties(superProperties_);
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
    const auto before = timedEvents_.size();
    trackInstance_->track(event, std::move(properties), captureTime, timedEvents_, superProperties_, identity(),
                          trackAutomaticEventsEnabled_);
    // Rewriting an unchanged suite file on every event would cost a sync to disk each.
    if (timedEvents_.size() != before)
        persistence_->saveTimedEvents(timedEvents_);
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
    trackingQueue_.async([this, event, start] {
        timedEvents_[event] = start;
        persistence_->saveTimedEvents(timedEvents_);
    });
}

void AnalyticsInstance::clearTimedEvent(const std::string& event)
{
    if (event.empty()) {
        ANALYTICS_ERROR("analytics cannot clear an empty timed event");
        return;
    }
    trackingQueue_.async([this, event] {
        timedEvents_.erase(event);
        persistence_->saveTimedEvents(timedEvents_);
    });
}

void AnalyticsInstance::clearTimedEvents()
{
    trackingQueue_.async([this] {
        timedEvents_.clear();
        persistence_->saveTimedEvents(timedEvents_);
    });
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
    std::optional<std::string> previous;
    readWriteLock_.write([&] {
        if (!identity_.anonymousId) {
            identity_.anonymousId = identity_.distinctId;
            identity_.hadPersistedDistinctId = true;
        }
        if (!identity_.userId)
            identity_.userId = distinctId;
        if (distinctId != identity_.distinctId) {
            previous = identity_.distinctId;
            identity_.distinctId = distinctId;
        }
    });
    if (previous)
        trackOnQueue("$identify", {{"$anon_distinct_id", *previous}}, clock_());
    if (usePeople) {
        readWriteLock_.write([&] { identity_.peopleDistinctId = distinctId; });
        persistence_->identifyPeople();
    } else {
        readWriteLock_.write([&] { identity_.peopleDistinctId.reset(); });
    }
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
        readWriteLock_.write([&] { identity_.alias = alias; });
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
        persistence_->resetEntities();
        const std::string deviceId = (useUniqueDistinctId_ ? machineId() : std::nullopt).value_or(randomUUID());
        readWriteLock_.write([&] {
            identity_ = Identity{};
            identity_.anonymousId = deviceId;
            identity_.distinctId = "$device:" + deviceId;
            identity_.hadPersistedDistinctId = true;
        });
        superProperties_ = Properties::object();
        timedEvents_.clear();
        sessionMetadata_ = SessionMetadata();
        persistence_->saveSuperProperties(superProperties_);
        persistence_->saveTimedEvents(timedEvents_);
        saveIdentity();
        complete(completion);
    });
}

void AnalyticsInstance::saveIdentity() { persistence_->saveIdentity(identity()); }

std::string AnalyticsInstance::distinctId() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_.distinctId; });
}
std::optional<std::string> AnalyticsInstance::anonymousId() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_.anonymousId; });
}
std::optional<std::string> AnalyticsInstance::userId() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_.userId; });
}
std::optional<std::string> AnalyticsInstance::alias() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_.alias; });
}
std::optional<std::string> AnalyticsInstance::peopleDistinctId() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_.peopleDistinctId; });
}
Identity AnalyticsInstance::identity() const
{
    waitUntilSetUp();
    return readWriteLock_.read([&] { return identity_; });
}

// ---- super properties -----------------------------------------------------------------

void AnalyticsInstance::registerSuperProperties(const Properties& properties)
{
    Properties checked = properties;
    dropInvalidProperties(checked);
    trackingQueue_.async([this, checked] {
        superProperties_.update(checked);
        persistence_->saveSuperProperties(superProperties_);
    });
}

void AnalyticsInstance::unregisterSuperProperty(const std::string& name)
{
    trackingQueue_.async([this, name] {
        superProperties_.erase(name);
        persistence_->saveSuperProperties(superProperties_);
    });
}

void AnalyticsInstance::clearSuperProperties()
{
    trackingQueue_.async([this] {
        superProperties_ = Properties::object();
        persistence_->saveSuperProperties(superProperties_);
    });
}

Properties AnalyticsInstance::currentSuperProperties()
{
    Properties copy;
    trackingQueue_.sync([&] { copy = superProperties_; });
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
        persistence_->resetEntities();
        superProperties_ = Properties::object();
        timedEvents_.clear();
        persistence_->saveSuperProperties(superProperties_);
        persistence_->saveTimedEvents(timedEvents_);
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

void AnalyticsInstance::queuePeopleRecord(const std::string& action, nlohmann::json value, bool ignoreTime)
{
    if (optOutStatus_)
        return;
    const double captureTime = clock_();
    trackingQueue_.async([this, action, value = std::move(value), ignoreTime, captureTime]() mutable {
        if (optOutStatus_)
            return;
        if (value.is_object())
            dropInvalidProperties(value);
        trackInstance_->trackPeople(action, std::move(value), captureTime, ignoreTime, identity());
    });
}

void AnalyticsInstance::queueGroupRecord(const std::string& action, nlohmann::json value, const std::string& groupKey,
                                         const nlohmann::json& groupID)
{
    if (optOutStatus_)
        return;
    const double captureTime = clock_();
    trackingQueue_.async([this, action, value = std::move(value), groupKey, groupID, captureTime]() mutable {
        if (optOutStatus_)
            return;
        if (value.is_object())
            dropInvalidProperties(value);
        trackInstance_->trackGroup(action, std::move(value), captureTime, groupKey, groupID);
    });
}

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
        slot = std::make_unique<Group>(*this, groupKey, groupID);
    return *slot;
}

void AnalyticsInstance::setGroup(const std::string& groupKey, const std::vector<Value>& groupIDs)
{
    registerSuperProperties({{groupKey, groupIDs}});
    people_.set({{groupKey, groupIDs}});
}

void AnalyticsInstance::addGroup(const std::string& groupKey, const Value& groupID)
{
    trackingQueue_.async([this, groupKey, groupID] {
        auto& ids = superProperties_[groupKey];
        if (!ids.is_array())
            ids = ids.is_null() ? nlohmann::json::array() : nlohmann::json::array({ids});
        if (std::find(ids.begin(), ids.end(), groupID) == ids.end())
            ids.push_back(groupID);
        persistence_->saveSuperProperties(superProperties_);
    });
    people_.union_({{groupKey, nlohmann::json::array({groupID})}});
}

void AnalyticsInstance::removeGroup(const std::string& groupKey, const Value& groupID)
{
    trackingQueue_.async([this, groupKey, groupID] {
        const auto it = superProperties_.find(groupKey);
        if (it == superProperties_.end())
            return;
        if (it->is_array()) {
            auto& ids = *it;
            ids.erase(std::remove(ids.begin(), ids.end(), groupID), ids.end());
            if (ids.empty())
                superProperties_.erase(groupKey);
        } else if (*it == groupID) {
            superProperties_.erase(groupKey);
        }
        persistence_->saveSuperProperties(superProperties_);
    });
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
