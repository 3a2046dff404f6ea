#include "AnalyticsTestSupport.h"

#include "analytics/Analytics.h"
#include "analytics/AnalyticsInstance.h"
#include "analytics/AutomaticProperties.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <set>
#include <thread>

using namespace flintly::analytics;
using namespace flintly::analytics::test;

namespace {

std::vector<nlohmann::json> stored(AnalyticsInstance& instance, PersistenceType type = PersistenceType::Events,
                                   bool flag = false)
{
    instance.waitForPendingWork();
    return instance.persistence().database().readRows(type, AnalyticsDB::kAllRows, flag);
}

std::vector<std::string> names(const std::vector<nlohmann::json>& events)
{
    std::vector<std::string> out;
    for (const auto& e : events)
        out.push_back(e["event"]);
    return out;
}

}  // namespace

class TrackTest : public ::testing::Test {
protected:
    std::string folder = freshFolder("track");
    FakeClock fake;
    InstanceOptions options()
    {
        auto o = testOptions(folder);
        o.clock = fake.clock();
        return o;
    }
};

TEST_F(TrackTest, EventRecordCarriesIdentityTimeDevicePropertiesAndMetadata)
{
    AnalyticsInstance instance(options());
    instance.registerSuperProperties({{"plan", "free"}, {"$os", "overridden by super"}});
    fake.now = 1'700'000'000.0005;  // half a millisecond rounds away from zero
    instance.track("open", {{"plan", "pro"}, {"count", 2}});
    instance.track("open");

    const auto events = stored(instance);
    ASSERT_EQ(events.size(), 2u);
    const auto& p = events[0]["properties"];
    EXPECT_EQ(events[0]["event"], "open");
    EXPECT_EQ(p["token"], "test-token");
    EXPECT_EQ(p["time"].get<double>(), 1'700'000'000'001.0);
    EXPECT_EQ(p["distinct_id"], instance.distinctId());
    EXPECT_TRUE(instance.distinctId().starts_with("$device:"));
    EXPECT_EQ(p["$device_id"], *instance.anonymousId());
    EXPECT_EQ(p["$had_persisted_distinct_id"], true);
    EXPECT_FALSE(p.contains("$user_id"));
    EXPECT_EQ(p["plan"], "pro");  // given beats super
    EXPECT_EQ(p["$os"], "overridden by super");
    EXPECT_EQ(p["$model"], "Standard PC");
    EXPECT_EQ(p["$screen_width"], 1920);
    EXPECT_EQ(p["an_lib"], "cpp");
    EXPECT_EQ(events[1]["properties"]["plan"], "free");

    const auto& m0 = events[0]["$an_metadata"];
    const auto& m1 = events[1]["$an_metadata"];
    EXPECT_EQ(m0["$an_session_seq_id"], 0);
    EXPECT_EQ(m1["$an_session_seq_id"], 1);
    EXPECT_EQ(m0["$an_session_id"], m1["$an_session_id"]);
    EXPECT_NE(m0["$an_event_id"], m1["$an_event_id"]);
    EXPECT_EQ(m0["$an_event_id"].get<std::string>().size(), 16u);
}

TEST_F(TrackTest, EmptyNamesAndAutomaticEventsFollowTheirRules)
{
    LogCapture log;
    auto o = options();
    AnalyticsInstance instance(o);
    instance.track("");
    instance.track(std::nullopt);
    instance.track("$ae_first_open");
    EXPECT_EQ(names(stored(instance)), (std::vector<std::string>{"an_event", "an_event"}));
    EXPECT_EQ(log.count("analytics track called with empty event parameter. using 'an_event'"), 2u);

    o.trackAutomaticEvents = true;
    o.cacheDirectory = folder + "/auto";
    AnalyticsInstance automatic(o);
    automatic.track("$ae_first_open");
    EXPECT_EQ(names(stored(automatic)), (std::vector<std::string>{"$ae_first_open"}));
}

TEST_F(TrackTest, TimedEventGetsItsDurationOnceAndSurvivesARestart)
{
    {
        AnalyticsInstance instance(options());
        instance.time("export");
        instance.waitForPendingWork();
    }
    {
        AnalyticsInstance instance(options());  // the start time came back from the suite
        fake.now = fake.now + 1.23456;
        instance.track("export");
        instance.track("export");
        const auto events = stored(instance);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_DOUBLE_EQ(events[0]["properties"]["$duration"].get<double>(), 1.235);
        EXPECT_FALSE(events[1]["properties"].contains("$duration"));
    }
    AnalyticsInstance instance(options());
    instance.track("export");
    EXPECT_FALSE(stored(instance).back()["properties"].contains("$duration")) << "the next run timed it again";

    LogCapture log;
    instance.time("");
    instance.clearTimedEvent("");
    EXPECT_TRUE(log.contains("analytics cannot time an empty event"));
    EXPECT_TRUE(log.contains("analytics cannot clear an empty timed event"));
}

TEST_F(TrackTest, InvalidPropertyValuesAreDroppedNotFatal)
{
    LogCapture log;
    AnalyticsInstance instance(options());
    instance.track("e",
                   {{"ok", 1},
                    {"nan", std::numeric_limits<double>::quiet_NaN()},
                    {"bytes", nlohmann::json::binary({1, 2, 3})},
                    {"nested", {{"inf", std::numeric_limits<double>::infinity()}}},
                    {"path", std::string("caf\xe9.md")}});
    const auto events = stored(instance);
    ASSERT_EQ(events.size(), 1u);
    const auto& p = events[0]["properties"];
    EXPECT_EQ(p["ok"], 1);
    EXPECT_FALSE(p.contains("nan"));
    EXPECT_FALSE(p.contains("bytes"));
    EXPECT_FALSE(p.contains("nested"));
    // A name that is not UTF-8 still arrives, with the bad byte replaced.
    EXPECT_EQ(p["path"], "caf\xef\xbf\xbd.md");
    EXPECT_EQ(log.count("Property values must be of valid type (AnalyticsType) and valid value."), 3u);
}

TEST_F(TrackTest, IdentifyTracksTheChangeAndReleasesHeldPeopleUpdates)
{
    AnalyticsInstance instance(options());
    const auto anonymous = instance.distinctId();
    instance.people().set({{"name", "Ada"}});
    EXPECT_EQ(stored(instance, PersistenceType::People, true).size(), 1u);  // held: not identified

    instance.identify("user-1");
    instance.waitForPendingWork();
    EXPECT_EQ(instance.distinctId(), "user-1");
    EXPECT_EQ(instance.userId(), "user-1");
    EXPECT_EQ(instance.peopleDistinctId(), "user-1");
    auto events = stored(instance);
    ASSERT_EQ(names(events), (std::vector<std::string>{"$identify"}));
    EXPECT_EQ(events[0]["properties"]["$anon_distinct_id"], anonymous);
    EXPECT_EQ(events[0]["properties"]["distinct_id"], "user-1");
    EXPECT_TRUE(stored(instance, PersistenceType::People, true).empty());

    // Same id again: no event, but updates queued meanwhile are still released.
    instance.persistence().saveEntity({{"$set", {{"x", 1}}}}, PersistenceType::People, true);
    instance.identify("user-1");
    EXPECT_EQ(stored(instance).size(), 1u);
    EXPECT_TRUE(stored(instance, PersistenceType::People, true).empty());

    LogCapture log;
    bool called = false;
    instance.identify("", true, [&] { called = true; });
    EXPECT_TRUE(called);
    EXPECT_TRUE(log.contains(
        "Analytics(\n    Token: test-token,\n    Distinct Id: user-1\n) cannot identify blank distinct id"));
}

TEST_F(TrackTest, IdentityAndSuperPropertiesSurviveARestart)
{
    std::string id;
    {
        AnalyticsInstance instance(options());
        instance.identify("someone");
        instance.registerSuperProperties({{"theme", "dark"}});
        instance.waitForPendingWork();
        id = *instance.anonymousId();
    }
    AnalyticsInstance instance(options());
    EXPECT_EQ(instance.distinctId(), "someone");
    EXPECT_EQ(instance.anonymousId(), id);
    EXPECT_EQ(instance.currentSuperProperties(), (nlohmann::json{{"theme", "dark"}}));
}

TEST_F(TrackTest, AliasIsStoredTrackedAndIdentified)
{
    AnalyticsInstance instance(options());
    instance.createAlias("ada@example.org", "user-9");
    instance.waitForPendingWork();
    EXPECT_EQ(instance.alias(), "ada@example.org");
    EXPECT_EQ(instance.distinctId(), "user-9");
    const auto events = stored(instance);
    ASSERT_EQ(names(events), (std::vector<std::string>{"$create_alias", "$identify"}));
    EXPECT_EQ(events[0]["properties"]["alias"], "ada@example.org");

    LogCapture log;
    instance.createAlias("user-9", "user-9");
    instance.createAlias("", "user-9");
    EXPECT_TRUE(log.contains("alias: user-9 matches distinctId: user-9 - skipping api call."));
    EXPECT_TRUE(log.contains("create alias called with empty alias"));
}

TEST_F(TrackTest, PeopleAndGroupRecordsHaveTheirStoredForm)
{
    AnalyticsInstance instance(options());
    instance.identify("u");
    instance.people().set({{"$ios_version", "mine"}, {"plan", "pro"}});
    instance.people().unset({"a", "b"});
    instance.people().ignoreTime = true;
    instance.people().increment({{"notes", 1}});
    instance.getGroup("company", 42).set({{"size", 10}});
    instance.getGroup("company", 42).deleteGroup();

    const auto people = stored(instance, PersistenceType::People);
    ASSERT_EQ(people.size(), 3u);
    EXPECT_EQ(people[0]["$token"], "test-token");
    EXPECT_EQ(people[0]["$distinct_id"], "u");
    EXPECT_EQ(people[0]["$set"]["$ios_version"], "mine");  // given beats automatic
    EXPECT_EQ(people[0]["$set"]["$cpp_lib_version"], kLibVersion);
    EXPECT_EQ(people[0]["$an_metadata"]["$an_session_seq_id"], 0);
    EXPECT_EQ(people[1]["$unset"], (nlohmann::json{"a", "b"}));
    EXPECT_FALSE(people[1].contains("$ignore_time"));
    EXPECT_EQ(people[2]["$ignore_time"], 1);
    EXPECT_EQ(people[2]["$add"]["notes"], 1);

    const auto groups = stored(instance, PersistenceType::Groups);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0]["$group_key"], "company");
    EXPECT_EQ(groups[0]["$group_id"], 42);
    EXPECT_EQ(groups[0]["$set"]["size"], 10);
    EXPECT_TRUE(groups[1].contains("$delete"));
    EXPECT_EQ(&instance.getGroup("company", 42), &instance.getGroup("company", 42));
}

TEST_F(TrackTest, OptedOutClientRecordsNothingAndClearsTheQueue)
{
    AnalyticsInstance instance(options());
    instance.track("before");
    instance.optOutTracking();
    instance.track("after");
    instance.people().set({{"a", 1}});
    EXPECT_TRUE(stored(instance).empty());
    EXPECT_TRUE(stored(instance, PersistenceType::People, true).empty());

    AnalyticsInstance restarted(options());
    // Made while the stored choice is still being read, these count as opted out too.
    restarted.track("early");
    restarted.people().set({{"b", 2}});
    EXPECT_TRUE(restarted.hasOptedOutTracking());
    EXPECT_TRUE(stored(restarted).empty());
    EXPECT_TRUE(stored(restarted, PersistenceType::People, true).empty());
    restarted.optInTracking();
    EXPECT_EQ(names(stored(restarted)), (std::vector<std::string>{"$opt_in"}));
}

TEST_F(TrackTest, ManyThreadsLoseNothingAndKeepEachThreadsOrder)
{
    AnalyticsInstance instance(options());
    constexpr int kThreads = 6;
    constexpr int kEach = 60;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < kEach; ++n)
                instance.track("burst", {{"thread", t}, {"n", n}});
        });
    }
    for (auto& thread : threads)
        thread.join();

    const auto events = stored(instance);
    ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    std::set<std::string> eventIds;
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i]["$an_metadata"]["$an_session_seq_id"], i);
        const int t = events[i]["properties"]["thread"];
        EXPECT_EQ(events[i]["properties"]["n"], next[t]++);
        eventIds.insert(events[i]["$an_metadata"]["$an_event_id"]);
    }
    EXPECT_EQ(eventIds.size(), events.size());
}

TEST_F(TrackTest, SettingUpTheStoreNeverHoldsUpTheCaller)
{
    // Where each message was written: opening SQLite and reading the suite are disk work
    // an app's start-up must not wait for.
    struct ThreadSink : Logging {
        std::mutex mutex;
        std::vector<std::pair<std::thread::id, std::string>> lines;
        void addMessage(const LogMessage& message) override
        {
            std::lock_guard lock(mutex);
            lines.emplace_back(std::this_thread::get_id(), message.text);
        }
    };
    LogCapture levelsOn;
    const auto sink = std::make_shared<ThreadSink>();
    AnalyticsLogger::addLogging(sink);
    {
        AnalyticsInstance instance(options());
        instance.track("app_launch");
        EXPECT_FALSE(instance.distinctId().empty()) << "asking for the identity waits for it";
        instance.waitForPendingWork();
    }
    AnalyticsLogger::removeLogging(sink);
    int diskLines = 0;
    for (const auto& [thread, text] : sink->lines) {
        if (text.find("database") == std::string::npos && text.find("table") == std::string::npos)
            continue;
        ++diskLines;
        EXPECT_NE(thread, std::this_thread::get_id()) << text;
    }
    EXPECT_GT(diskLines, 0);
}

TEST_F(TrackTest, EmptyTokenStoresNothingAnywhere)
{
    auto o = options();
    o.token = "";
    {
        AnalyticsInstance instance(o);
        instance.track("app_launch");
        instance.identify("someone");
        instance.waitForPendingWork();
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/config/Analytics.json"));
    EXPECT_TRUE(!std::filesystem::exists(folder + "/cache") || std::filesystem::is_empty(folder + "/cache"));
}

TEST(AnalyticsRegistry, MainInstanceIsTheLastInitialised)
{
    LogCapture log;
    EXPECT_EQ(Analytics::safeMainInstance(), nullptr);
    EXPECT_TRUE(
        log.contains("WARNING: Analytics main instance is NOT initialized. Call Analytics.initialize(...) first."));
    EXPECT_EQ(Analytics::getInstance("nobody"), nullptr);
    EXPECT_TRUE(log.contains("no such instance: nobody"));

    const auto folder = freshFolder("registry");
    const auto first = Analytics::initialize(testOptions(folder, "first"));
    EXPECT_EQ(Analytics::mainInstance(), first);
    EXPECT_EQ(Analytics::initialize(testOptions(folder, "first")), first);
    const auto second = Analytics::initialize(testOptions(folder, "second"));
    EXPECT_EQ(Analytics::mainInstance(), second);
    EXPECT_EQ(Analytics::getInstance("first"), first);
    Analytics::removeInstance("first");
    Analytics::removeInstance("second");
    EXPECT_EQ(Analytics::safeMainInstance(), nullptr);
}

TEST(DeviceInfo, ReadsOsReleaseAndDmiFromTheGivenRoot)
{
    const auto root = freshFolder("root");
    std::filesystem::create_directories(root + "/etc");
    std::filesystem::create_directories(root + "/sys/class/dmi/id");
    std::ofstream(root + "/etc/os-release") << "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                                               "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n";
    std::ofstream(root + "/sys/class/dmi/id/sys_vendor") << "LENOVO\n";
    auto device = readDeviceInfo(root);
    EXPECT_EQ(device.osVersion, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(device.manufacturer, "LENOVO");
    const auto p = AutomaticProperties::eventProperties(device);
    EXPECT_EQ(p["$os"], "Linux");
    EXPECT_EQ(p["$model"], "Unknown");  // no product_name here
    EXPECT_EQ(p["$app_version_string"], "Unknown");
    EXPECT_FALSE(p.contains("$screen_width"));  // the app did not say
}
