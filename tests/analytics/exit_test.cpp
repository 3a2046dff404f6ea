#include "AnalyticsTestSupport.h"

#include "analytics/AnalyticsDB.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <thread>

using namespace flintly::analytics;
using namespace flintly::analytics::test;
using namespace std::chrono_literals;

// At exit the client is ended while the request to a stalled server is still open: the
// request is abandoned and what was recorded stays stored, without a crash. (Left to the
// process's static destructors instead, the client logged into a logger already
// destroyed; the sanitizer build turns any such use into a failed exit.)
TEST(QuittingDuringAnUpload, EndsPromptlyAndCleanlyWithTheRecordsKept)
{
    TestServer server;
    server.setAnswer({200, "1", {}, 0ms, true});
    const std::string folder = freshFolder("exit");
    QProcess helper;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FLINTLY_ANALYTICS_TOKEN"), QStringLiteral("exit-token"));
    environment.insert(QStringLiteral("FLINTLY_ANALYTICS_URL"), QString::fromStdString(server.url()));
    helper.setProcessEnvironment(environment);
    helper.setProcessChannelMode(QProcess::MergedChannels);
    helper.start(QStringLiteral(FLINTLY_EXIT_HELPER), {QString::fromStdString(folder)});
    ASSERT_TRUE(helper.waitForStarted());
    for (int i = 0; i < 500 && server.requestCount() == 0; ++i) {
        helper.waitForReadyRead(20);  // keeps its output flowing
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(server.requestCount(), 1u) << "the upload is under way";

    helper.write("quit\n");
    const bool ended = helper.waitForFinished(10000);
    const std::string output = helper.readAll().right(4000).toStdString();
    ASSERT_TRUE(ended) << "still running with the upload hanging\n" << output;
    EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(helper.exitCode(), 0) << output;

    AnalyticsDB db("exit-token", folder + "/cache");
    std::vector<std::string> names;
    for (const auto& row : db.readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false))
        names.push_back(row["event"]);
    EXPECT_EQ(names, (std::vector<std::string>{"$identify", "app_launch", "create_note", "focus_session_end"}));
}
