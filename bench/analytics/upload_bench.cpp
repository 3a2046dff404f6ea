// Uploading a full queue to a loopback server: 10,000 stored events sent as 200
// requests of 50, each batch deleted after the server accepted it.
// Budget: under 10 s.
#include "BenchSupport.h"

#include "analytics/AnalyticsDB.h"

#include <httplib.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    bench::ScratchFolder folder;

    httplib::Server server;
    std::atomic<int> requests{0};
    std::atomic<size_t> records{0};
    server.Post("/track/", [&](const httplib::Request& request, httplib::Response& response) {
        ++requests;
        records += nlohmann::json::parse(request.body).size();
        response.set_content("1", "text/plain");
    });
    // Without it the reply waits on Nagle and delayed ACKs: 40 ms a request.
    server.set_tcp_nodelay(true);
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serverThread([&] { server.listen_after_bind(); });
    while (!server.is_running())  // stop() is ignored before the accept loop runs
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    std::string dbPath;
    std::string sample;
    {
        // One real record, stored through the client...
        flintly::analytics::AnalyticsInstance instance(bench::options(folder.path));
        instance.track("first_save", bench::typicalProperties(1));
        instance.waitForPendingWork();
        dbPath = instance.persistence().database().path();
        auto row =
            instance.persistence().database().readRows(flintly::analytics::PersistenceType::Events, 1, false).at(0);
        row.erase("id");
        sample = row.dump();
        instance.persistence().database().deleteRows(flintly::analytics::PersistenceType::Events, {}, true);
    }
    {
        // ...copied into the queue in one transaction, so filling it is not measured.
        sqlite3* db = nullptr;
        sqlite3_open(dbPath.c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO analytics_benchtoken_events (data, flag, time) VALUES(?, 0, ?);", -1,
                           &insert, nullptr);
        for (int n = 0; n < count; ++n) {
            sqlite3_bind_blob(insert, 1, sample.data(), static_cast<int>(sample.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 2, 1.7e9 + n * 0.001);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    double elapsed = 0;
    size_t left = 0;
    {
        flintly::analytics::AnalyticsInstance instance(
            bench::options(folder.path, "http://127.0.0.1:" + std::to_string(port)));
        const auto begin = bench::Clock::now();
        instance.flush(true);
        instance.waitForPendingWork();
        elapsed = bench::seconds(bench::Clock::now() - begin);
        left =
            instance.persistence()
                .database()
                .readRows(flintly::analytics::PersistenceType::Events, flintly::analytics::AnalyticsDB::kAllRows, false)
                .size();
    }
    server.stop();
    serverThread.join();

    std::printf("upload %d events: %.2f s, %d requests, %zu records received, %zu left in the queue\n", count, elapsed,
                requests.load(), records.load(), left);
    bench::report("upload and delete the queue", elapsed, "s", "budget", 10.0);
    return elapsed < 10.0 && left == 0 && records == static_cast<size_t>(count) ? 0 : 1;
}
