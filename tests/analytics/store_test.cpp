#include "AnalyticsTestSupport.h"

#include "analytics/AnalyticsDB.h"
#include "analytics/AnalyticsPersistence.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

using namespace flintly::analytics;
using flintly::analytics::test::freshFolder;
using flintly::analytics::test::LogCapture;

namespace {

std::string record(int n) { return nlohmann::json{{"event", "e"}, {"n", n}}.dump(); }

std::vector<int> numbers(const std::vector<nlohmann::json>& rows)
{
    std::vector<int> out;
    for (const auto& row : rows)
        out.push_back(row.value("n", -1));
    return out;
}

void overwrite(const std::string& path, const std::string& contents, std::ios::openmode mode = std::ios::trunc)
{
    std::ofstream out(path, std::ios::binary | mode);
    out << contents;
}

}  // namespace

TEST(AnalyticsDB, NamesFileAndTablesAfterTokenLettersAndDigitsOnly)
{
    const auto folder = freshFolder("db");
    AnalyticsDB db("ab-12.c_d", folder);
    EXPECT_EQ(db.apiToken(), "ab12cd");
    EXPECT_EQ(db.path(), folder + "/ab12cd_AnalyticsDB.sqlite");
    EXPECT_EQ(db.tableName(PersistenceType::People), "analytics_ab12cd_people");
    ASSERT_TRUE(db.insertRow(PersistenceType::Events, record(1), false));
    EXPECT_TRUE(std::filesystem::exists(db.path()));

    // The tables are really named so (another reader of the file relies on it).
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().c_str(), &raw), SQLITE_OK);
    int tables = 0;
    sqlite3_exec(
        raw, "SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'analytics_ab12cd_%'",
        [](void* n, int, char**, char**) {
            ++*static_cast<int*>(n);
            return 0;
        },
        &tables, nullptr);
    sqlite3_close(raw);
    EXPECT_EQ(tables, 3);
}

TEST(AnalyticsDB, EmptyTokenOpensNothingAndStoresNothing)
{
    LogCapture log;
    const auto folder = freshFolder("db-empty");
    AnalyticsDB db("--..", folder);
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(db.insertRow(PersistenceType::Events, record(1), false));
    EXPECT_TRUE(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false).empty());
    EXPECT_TRUE(log.contains("(error) Project token must not be empty. Database cannot be opened."));
    EXPECT_TRUE(log.contains("(warning) No database connection found. Calling AnalyticsDB.open()"));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(AnalyticsDB, ReadsOldestFirstWithIdsLimitAndFlag)
{
    AnalyticsDB db("tok", freshFolder("db-read"));
    for (int n = 0; n < 5; ++n)
        db.insertRow(PersistenceType::People, record(n), n == 2);

    const auto unflagged = db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, false);
    EXPECT_EQ(numbers(unflagged), (std::vector<int>{0, 1, 3, 4}));
    for (const auto& row : unflagged)
        EXPECT_TRUE(row["id"].is_number_integer());
    EXPECT_EQ(numbers(db.readRows(PersistenceType::People, 2, false)), (std::vector<int>{0, 1}));
    EXPECT_EQ(numbers(db.readRows(PersistenceType::People, 10, true)), (std::vector<int>{2}));

    EXPECT_TRUE(db.updateRowsFlag(PersistenceType::People, false));
    EXPECT_EQ(db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, false).size(), 5u);
    EXPECT_TRUE(db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, true).empty());

    const auto first = unflagged[0]["id"].get<std::int64_t>();
    const auto last = unflagged[3]["id"].get<std::int64_t>();
    EXPECT_TRUE(db.deleteRows(PersistenceType::People, {last, first}));
    EXPECT_EQ(numbers(db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, false)), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(db.deleteRows(PersistenceType::People, {}, true));
    EXPECT_TRUE(db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, false).empty());
}

TEST(AnalyticsDB, SkipsRowsThatAreNotJsonObjects)
{
    LogCapture log;
    AnalyticsDB db("tok", freshFolder("db-bad-row"));
    db.insertRow(PersistenceType::Events, "not json", false);
    db.insertRow(PersistenceType::Events, "[1,2]", false);
    db.insertRow(PersistenceType::Events, record(7), false);
    EXPECT_EQ(numbers(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)), (std::vector<int>{7}));
    EXPECT_EQ(log.count("exception decoding object data"), 2u);
}

TEST(AnalyticsDB, GarbageFileIsReplacedByAWorkingDatabase)
{
    LogCapture log;
    const auto folder = freshFolder("db-garbage");
    overwrite(folder + "/tok_AnalyticsDB.sqlite", std::string(8192, 'x'));
    AnalyticsDB db("tok", folder);
    EXPECT_TRUE(log.contains("(error) file is not a database"));

    EXPECT_FALSE(db.insertRow(PersistenceType::Events, record(1), false));
    EXPECT_TRUE(log.contains("Deleted database file at path: " + db.path()));
    ASSERT_TRUE(db.insertRow(PersistenceType::Events, record(2), false));
    EXPECT_EQ(numbers(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)), (std::vector<int>{2}));
}

TEST(AnalyticsDB, TruncatedFileIsNotReportedAsARead)
{
    LogCapture log;
    const auto folder = freshFolder("db-truncated");
    std::string path;
    {
        AnalyticsDB db("tok", folder);
        path = db.path();
        const std::string big(3000, 'y');
        for (int n = 0; n < 200; ++n)
            db.insertRow(PersistenceType::Events, nlohmann::json{{"n", n}, {"pad", big}}.dump(), false);
    }
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 3);

    AnalyticsDB db("tok", folder);
    const auto rows = db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false);
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(log.contains("Successfully read 200"));
    // The client keeps working on a rebuilt file.
    ASSERT_TRUE(db.insertRow(PersistenceType::Events, record(1), false));
    EXPECT_EQ(numbers(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)), (std::vector<int>{1}));
}

TEST(AnalyticsDB, FullDiskDropsTheNewRecordButKeepsTheQueue)
{
    LogCapture log;
    AnalyticsDB db("tok", freshFolder("db-full"));
    for (int n = 0; n < 3; ++n)
        db.insertRow(PersistenceType::Events, record(n), false);
    // No more pages may be added: what a full disk looks like to SQLite.
    sqlite3_exec(db.connectionForTesting(), "PRAGMA max_page_count = 1", nullptr, nullptr, nullptr);

    EXPECT_FALSE(db.insertRow(PersistenceType::Events,
                              nlohmann::json{{"n", 9}, {"pad", std::string(20000, 'z')}}.dump(), false));
    EXPECT_TRUE(log.contains("Failed to insert row into table analytics_tok_events"));
    EXPECT_FALSE(log.contains("Deleted database file"));
    EXPECT_EQ(numbers(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)), (std::vector<int>{0, 1, 2}));
}

TEST(AnalyticsDB, AQueueOverItsSizeDropsItsOldestRecords)
{
    LogCapture log;
    AnalyticsDB db("tok", freshFolder("db-limit"), QueueLimits{1000, 10 * 1024});
    const auto large = [](int n) { return nlohmann::json{{"n", n}, {"pad", std::string(1000, 'z')}}.dump(); };
    for (int n = 0; n < 11; ++n)
        db.insertRow(PersistenceType::Events, large(n), false);
    // Eleven records of about 1 KB, down to at most 9 KB: the two oldest go.
    EXPECT_EQ(numbers(db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)),
              (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(log.count("oldest records"), 1u);
    db.insertRow(PersistenceType::People, large(0), false);
    EXPECT_EQ(db.readRows(PersistenceType::People, AnalyticsDB::kAllRows, false).size(), 1u) << "each queue on its own";
}

TEST(AnalyticsDB, UnwritableCacheFolderStoresNothingAndNeverThrows)
{
    LogCapture log;
    const auto folder = freshFolder("db-unwritable");
    overwrite(folder + "/file", "a file where a folder should be");
    AnalyticsDB blocked("tok", folder + "/file/cache");
    EXPECT_FALSE(blocked.isOpen());
    EXPECT_FALSE(blocked.insertRow(PersistenceType::Events, record(1), false));
    EXPECT_TRUE(
        log.contains("Error opening or creating database at path: " + folder + "/file/cache/tok_AnalyticsDB.sqlite"));

    if (geteuid() != 0) {  // permission bits do not stop root
        const auto readOnly = freshFolder("db-readonly");
        std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        AnalyticsDB db("tok", readOnly);
        EXPECT_FALSE(db.insertRow(PersistenceType::Events, record(1), false));
        std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
    }
}

TEST(AnalyticsPersistence, LoadFiltersAutomaticEventsAndStampsPeopleWithTheCurrentId)
{
    const auto folder = freshFolder("persistence");
    AnalyticsPersistence persistence("tok", folder, folder + "/Analytics.json");
    persistence.saveEntities({{{"event", "$ae_session"}}, {{"event", "open"}}}, PersistenceType::Events);
    persistence.saveEntity({{"$set", {{"a", 1}}}, {"$distinct_id", "old"}}, PersistenceType::People);
    persistence.saveEntity({{"$set", {{"b", 2}}}}, PersistenceType::People, true);

    const auto events = persistence.loadEntitiesInBatch(PersistenceType::Events, 50, false, true, "me");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["event"], "open");
    EXPECT_EQ(persistence.loadEntitiesInBatch(PersistenceType::Events, 50, false, false, "me").size(), 2u);

    auto people = persistence.loadEntitiesInBatch(PersistenceType::People, 50, false, false, "me");
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0]["$distinct_id"], "me");
    persistence.identifyPeople();
    people = persistence.loadEntitiesInBatch(PersistenceType::People, 50, false, false, "me");
    EXPECT_EQ(people.size(), 2u);

    persistence.removeEntitiesInBatch(PersistenceType::People, {people[0]["id"].get<std::int64_t>()});
    EXPECT_EQ(persistence.loadEntitiesInBatch(PersistenceType::People, 50, false, false, "me").size(), 1u);
    persistence.resetEntities();
    EXPECT_TRUE(persistence.loadEntitiesInBatch(PersistenceType::Events, 50, false, false, "me").empty());
}

TEST(AnalyticsPersistence, SuiteValuesRoundTripUnderTheInstanceKeys)
{
    const auto folder = freshFolder("suite");
    const auto suiteFile = folder + "/config/Analytics.json";
    {
        AnalyticsPersistence persistence("tok", folder, suiteFile);
        persistence.saveSuperProperties({{"plan", "pro"}, {"n", 3}});
        persistence.saveTimedEvents({{"export", 12.5}});
        Identity identity;
        identity.distinctId = "user";
        identity.anonymousId = "device";
        identity.hadPersistedDistinctId = true;
        persistence.saveIdentity(identity);
        persistence.saveOptOutStatus(true);
    }
    AnalyticsPersistence persistence("tok", folder, suiteFile);
    EXPECT_EQ(persistence.loadSuperProperties(), (nlohmann::json{{"plan", "pro"}, {"n", 3}}));
    EXPECT_EQ(persistence.loadTimedEvents(), (std::map<std::string, double>{{"export", 12.5}}));
    const auto identity = persistence.loadIdentity();
    EXPECT_EQ(identity.distinctId, "user");
    EXPECT_EQ(identity.anonymousId, "device");
    EXPECT_FALSE(identity.userId.has_value());
    EXPECT_EQ(identity.hadPersistedDistinctId, true);
    EXPECT_EQ(persistence.loadOptOutStatus(), true);

    // Keys as another reader of the file finds them.
    std::ifstream in(suiteFile);
    const auto contents = nlohmann::json::parse(in);
    EXPECT_EQ(contents["analytics-tok-ANDistinctID"], "user");
    EXPECT_FALSE(contents.contains("analytics-tok-ANUserId"));
    EXPECT_EQ(contents["analytics-tok-OptOutStatus"], true);
}

TEST(AnalyticsPersistence, UnreadableSuiteValuesLoadAsEmpty)
{
    LogCapture log;
    const auto folder = freshFolder("suite-bad");
    const auto suiteFile = folder + "/Analytics.json";
    overwrite(suiteFile, R"({"analytics-tok-superProperties": "oops", "analytics-tok-timedEvents": [1]})");
    AnalyticsPersistence persistence("tok", folder, suiteFile);
    EXPECT_TRUE(persistence.loadSuperProperties().empty());
    EXPECT_TRUE(persistence.loadTimedEvents().empty());
    EXPECT_TRUE(log.contains("Failed to unarchive super properties"));
    EXPECT_TRUE(log.contains("Failed to unarchive timed events"));

    overwrite(suiteFile, "{ truncated");
    EXPECT_TRUE(persistence.loadIdentity().distinctId.empty());
    persistence.saveOptOutStatus(false);  // a damaged file is replaced, not appended to
    EXPECT_EQ(persistence.loadOptOutStatus(), false);
}
