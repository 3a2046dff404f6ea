// Storing events through the client (record building, JSON, one INSERT statement per
// record) beside the plain sqlite3 library inserting the same rows, one transaction per
// row in WAL mode: the cost of the client's own work on top of the durable insert.
// Budget: within 3x the baseline.
#include "BenchSupport.h"

#include "analytics/AnalyticsDB.h"

#include <sqlite3.h>

#include <cstdio>

namespace {

double baselineSeconds(const std::string& folder, const std::vector<std::string>& rows)
{
    const std::string path = folder + "/baseline.sqlite";
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE t(id integer primary key autoincrement,data blob,time real,flag integer);", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "CREATE INDEX idx_t_time ON t (time);", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t (data, flag, time) VALUES(?, ?, ?);", -1, &insert, nullptr);
    const auto begin = bench::Clock::now();
    double time = 1.7e9;
    for (const auto& row : rows) {
        sqlite3_bind_blob(insert, 1, row.data(), static_cast<int>(row.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, 0);
        sqlite3_bind_double(insert, 3, time += 0.001);
        if (sqlite3_step(insert) != SQLITE_DONE)
            std::fprintf(stderr, "baseline insert failed: %s\n", sqlite3_errmsg(db));
        sqlite3_reset(insert);
    }
    const double elapsed = bench::seconds(bench::Clock::now() - begin);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    bench::ScratchFolder folder;

    double clientSeconds = 0;
    std::vector<std::string> rows;
    {
        flintly::analytics::AnalyticsInstance instance(bench::options(folder.path));
        const auto begin = bench::Clock::now();
        for (int n = 0; n < count; ++n)
            instance.track("first_save", bench::typicalProperties(n));
        instance.waitForPendingWork();
        clientSeconds = bench::seconds(bench::Clock::now() - begin);
        // The baseline stores exactly what the client stored.
        for (const auto& row : instance.persistence().database().readRows(
                 flintly::analytics::PersistenceType::Events, flintly::analytics::AnalyticsDB::kAllRows, false)) {
            auto copy = row;
            copy.erase("id");
            rows.push_back(copy.dump());
        }
    }
    if (rows.size() != static_cast<size_t>(count)) {
        std::fprintf(stderr, "client stored %zu of %d events\n", rows.size(), count);
        return 1;
    }
    const double baseline = baselineSeconds(folder.path, rows);
    std::printf("store %d events: client %.2f s (%.0f us/event), sqlite3 one txn per row %.2f s (%.0f us/row), "
                "row size %zu bytes\n",
                count, clientSeconds, clientSeconds * 1e6 / count, baseline, baseline * 1e6 / count, rows[0].size());
    bench::report("store events through the client", clientSeconds, "s", "sqlite3, 1 txn/row, WAL", baseline);
    return clientSeconds <= 3 * baseline ? 0 : 1;
}
