#include "AnalyticsTestSupport.h"

#include "analytics/Analytics.h"
#include "analytics/AppEvents.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace flintly::analytics;
namespace events = flintly::events;
using namespace flintly::analytics::test;

namespace {

// Stands in for the app's tracker: what the catalogue helpers hand over.
struct RecordingTracker : flintly::UsageTracker {
    std::vector<std::pair<std::string, flintly::TrackProperties>> events;
    void initialize(const std::string&, const flintly::TrackerOptions&) override {}
    void identify(const std::string&) override {}
    void track(const std::string& event, const flintly::TrackProperties& properties) override
    {
        events.emplace_back(event, properties);
    }
};

}  // namespace

TEST(AppEvents, CatalogueHelpersRecordExactlyTheirProperties)
{
    RecordingTracker t;
    events::appLaunch(t);
    events::createNote(t, "0F8E-UUID");
    events::firstSave(t, "0F8E-UUID", 42);
    events::openExternalNote(t, "todo.md", "/home/ada/Desktop");
    events::focusSessionEnd(t, "0F8E-UUID", 59.99, true);
    events::focusSessionEnd(t, "0F8E-UUID", -3, false);
    events::importScanComplete(t, "/home/ada/Notes", 0);

    using P = flintly::TrackProperties;
    ASSERT_EQ(t.events.size(), 7u);
    EXPECT_EQ(t.events[0], (std::pair<std::string, P>{"app_launch", {}}));
    EXPECT_EQ(t.events[1], (std::pair<std::string, P>{"create_note", {{"noteId", "0F8E-UUID"}}}));
    EXPECT_EQ(t.events[2],
              (std::pair<std::string, P>{"first_save", {{"noteId", "0F8E-UUID"}, {"chars", std::int64_t{42}}}}));
    EXPECT_EQ(t.events[3],
              (std::pair<std::string, P>{"open_external_note",
                                         {{"noteId", "todo.md"}, {"folderPath", "/home/ada/Desktop"}}}));
    EXPECT_EQ(t.events[4],
              (std::pair<std::string, P>{
                  "focus_session_end",
                  {{"noteId", "0F8E-UUID"}, {"durationSec", std::int64_t{59}}, {"origin", "external"}}}));
    EXPECT_EQ(std::get<std::int64_t>(t.events[5].second["durationSec"]), 0) << "a clock set back is no negative time";
    EXPECT_EQ(t.events[5].second["origin"], flintly::TrackValue("internal"));
    EXPECT_EQ(t.events[6],
              (std::pair<std::string, P>{"import_scan_complete",
                                         {{"folderPath", "/home/ada/Notes"}, {"noteCount", std::int64_t{0}}}}));
}

TEST(AppEvents, BuildValuesGiveWayToTheEnvironment)
{
    setenv("FLINTLY_ANALYTICS_TOKEN", "env-token", 1);
    setenv("FLINTLY_ANALYTICS_URL", "http://127.0.0.1:9", 1);
    const auto config = appAnalyticsConfig();
    EXPECT_EQ(config.token, "env-token");
    EXPECT_EQ(config.serverURL, "http://127.0.0.1:9");
    unsetenv("FLINTLY_ANALYTICS_TOKEN");
    unsetenv("FLINTLY_ANALYTICS_URL");
}

class AppStartTest : public ::testing::Test {
protected:
    // Outlives the client (removed in TearDown), so no kept-alive connection holds the
    // server's shutdown.
    TestServer server;
    void TearDown() override
    {
        flintly::setUsageTracker(nullptr);
        Analytics::removeInstance("app-token");
        Analytics::removeInstance("");
    }
};

TEST_F(AppStartTest, LaunchIdentifiesTheUserAndTheEventsReachTheServer)
{
    AnalyticsUsageTracker tracker(testOptions(freshFolder("app")));
    startAppAnalytics(tracker, "5D2C6F0A-1111-4222-8333-944455556666", {"app-token", server.url()});
    EXPECT_EQ(&flintly::usageTracker(), &tracker);
    events::createNote(flintly::usageTracker(), "5D2C6F0A-1111-4222-8333-944455556666");
    events::firstSave(flintly::usageTracker(), "5D2C6F0A-1111-4222-8333-944455556666", 12);

    const auto instance = Analytics::mainInstance();
    EXPECT_EQ(instance->apiToken(), "app-token");
    EXPECT_TRUE(instance->loggingEnabled());
    EXPECT_EQ(instance->flushInterval(), 60);
    instance->flush(true);
    instance->waitForPendingWork();

    const auto records = server.records("/track/");
    std::vector<std::string> names;
    for (const auto& r : records)
        names.push_back(r["event"]);
    EXPECT_EQ(names, (std::vector<std::string>{"$identify", "app_launch", "create_note", "first_save"}));
    const auto& save = records[3]["properties"];
    EXPECT_EQ(save["distinct_id"], "5D2C6F0A-1111-4222-8333-944455556666");
    EXPECT_EQ(save["chars"], 12);
    EXPECT_EQ(save["noteId"], "5D2C6F0A-1111-4222-8333-944455556666");
    EXPECT_EQ(save["$os"], "Linux");
    flintly::analytics::AnalyticsLogger::setLoggingEnabled(false);
}

TEST_F(AppStartTest, EmptyTokenStoresAndSendsNothing)
{
    const auto folder = freshFolder("app-empty");
    AnalyticsUsageTracker tracker(testOptions(folder));
    startAppAnalytics(tracker, "5D2C6F0A-1111-4222-8333-944455556666", {"", server.url()});
    events::createNote(flintly::usageTracker(), "x");
    const auto instance = Analytics::mainInstance();
    instance->flush(true);
    instance->waitForPendingWork();
    flintly::analytics::AnalyticsLogger::setLoggingEnabled(false);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/config/Analytics.json"));
    EXPECT_TRUE(!std::filesystem::exists(folder + "/cache") || std::filesystem::is_empty(folder + "/cache"));
}
