#include "AnalyticsTestSupport.h"

#include "analytics/AnalyticsInstance.h"
#include "analytics/FlushRequest.h"
#include "analytics/Gzip.h"
#include "analytics/Network.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>

using namespace flintly::analytics;
using namespace flintly::analytics::test;
using namespace std::chrono_literals;

namespace {

std::string gunzip(const std::string& data)
{
    z_stream stream{};
    inflateInit2(&stream, 31);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    std::string out;
    int status = Z_OK;
    char chunk[16384];
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : std::string("<not gzip>");
}

}  // namespace

class FlushTest : public ::testing::Test {
protected:
    TestServer server;
    FakeClock fake;
    std::string folder = freshFolder("flush");
    std::unique_ptr<AnalyticsInstance> instance;

    void SetUp() override { start(); }

    void start(std::function<void(InstanceOptions&)> adjust = nullptr)
    {
        instance.reset();
        auto o = testOptions(folder);
        o.clock = fake.clock();
        o.serverURL = server.url();
        if (adjust)
            adjust(o);
        instance = std::make_unique<AnalyticsInstance>(o);
    }
    void trackMany(int count, int first = 0)
    {
        for (int n = first; n < first + count; ++n)
            instance->track("e", {{"n", n}});
    }
    void fullFlush()
    {
        instance->flush(true);
        instance->waitForPendingWork();
    }
    size_t storedEvents()
    {
        instance->waitForPendingWork();
        return instance->persistence()
            .database()
            .readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false)
            .size();
    }
    FlushRequest& request() { return instance->flusher().flushRequest(); }
};

TEST_F(FlushTest, SendsBatchesOfFiftyAndDeletesWhatWasAccepted)
{
    trackMany(120);
    fullFlush();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    std::vector<size_t> sizes;
    for (const auto& r : requests) {
        EXPECT_EQ(r.path, "/track/");
        EXPECT_EQ(r.target, "/track/?ip=1");
        EXPECT_EQ(r.headers.find("Content-Type")->second, "application/json");
        EXPECT_EQ(r.headers.count("Content-Encoding"), 0u);
        sizes.push_back(nlohmann::json::parse(r.body).size());
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{50, 50, 20}));
    const auto records = server.records("/track/");
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records[i]["properties"]["n"], i);
    EXPECT_EQ(storedEvents(), 0u);
}

TEST_F(FlushTest, TimerFlushSendsOneBatchPerQueue)
{
    trackMany(60);
    instance->flush();
    instance->waitForPendingWork();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(storedEvents(), 10u);
}

TEST_F(FlushTest, FailuresKeepRowsAndBackOffUntilTheAllowedTime)
{
    server.setAnswer({500, "error", {}, 0ms});
    trackMany(60);
    fullFlush();
    EXPECT_EQ(server.requestCount(), 1u);  // the rest waits for the next flush
    EXPECT_EQ(storedEvents(), 60u);
    EXPECT_EQ(request().networkConsecutiveFailures(), 1);
    EXPECT_EQ(request().networkRequestsAllowedAfterTime(), fake.now.load());  // one failure alone: no wait

    fullFlush();
    EXPECT_EQ(request().networkConsecutiveFailures(), 2);
    const double wait = request().networkRequestsAllowedAfterTime() - fake.now;
    EXPECT_GE(wait, 120);
    EXPECT_LE(wait, 149);

    fake.now = fake.now + wait - 1;
    fullFlush();
    EXPECT_EQ(server.requestCount(), 2u);  // still blocked

    server.setAnswer({});
    fake.now = fake.now + 1;
    fullFlush();
    EXPECT_EQ(request().networkConsecutiveFailures(), 0);
    EXPECT_EQ(storedEvents(), 0u);
}

TEST_F(FlushTest, RetryAfterDelaysTheNextRequest)
{
    server.setAnswer({503, "busy", {{"Retry-After", "30"}}, 0ms});
    trackMany(3);
    fullFlush();
    EXPECT_EQ(request().networkRequestsAllowedAfterTime(), fake.now + 30);

    server.setAnswer({});
    fake.now = fake.now + 29.9;
    fullFlush();
    EXPECT_EQ(server.requestCount(), 1u);
    fake.now = fake.now + 0.1;
    fullFlush();
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(storedEvents(), 0u);
}

struct AnswerCase {
    const char* name;
    int status;
    std::string body;
    bool delivered;
    const char* log;
    httplib::Headers headers = {};
};

class FlushAnswerTest : public FlushTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FlushAnswerTest, ClassifiesTheServersAnswer)
{
    LogCapture log;
    server.setAnswer({GetParam().status, GetParam().body, GetParam().headers, 0ms});
    trackMany(2);
    fullFlush();
    EXPECT_EQ(storedEvents(), GetParam().delivered ? 0u : 2u);
    EXPECT_EQ(request().networkConsecutiveFailures(), GetParam().delivered ? 0 : 1);
    EXPECT_TRUE(log.contains(GetParam().log)) << GetParam().log;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FlushAnswerTest,
    ::testing::Values(AnswerCase{"accepted", 200, "1", true, "Successfully deleted rows"},
                      AnswerCase{"rejected-items", 200, "0\n", true, "/track/ api rejected some items"},
                      AnswerCase{"server-error", 500, "1", false,
                                 "API request to /track/ has failed with reason notOKStatusCode(statusCode: 500)"},
                      AnswerCase{"html-page", 200, "<html>gateway</html>", false, "failed with reason parseError"},
                      AnswerCase{"not-utf8-text", 200, "\xff\xfe", false, "failed with reason parseError"},
                      AnswerCase{"empty-body", 200, "", false, "failed with reason parseError"},
                      // A reply is a few bytes; a huge one is refused, not buffered.
                      AnswerCase{"oversized-body", 200, "1" + std::string(70'000, ' '), false,
                                 "failed with reason other(reply larger than 65536 bytes)"},
                      AnswerCase{"oversized-headers",
                                 200,
                                 "1",
                                 false,
                                 "failed with reason other(reply larger than 65536 bytes)",
                                 {{"X-Padding", std::string(70'000, 'x')}}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(FlushTest, HangingServerNeverBlocksTheCaller)
{
    start([](InstanceOptions& o) { o.networkTimeouts = {0.3, 0.6}; });
    server.setAnswer({200, "1", {}, 1500ms});
    trackMany(2);
    instance->flush(true);
    const auto begin = std::chrono::steady_clock::now();
    instance->track("while-hanging");
    instance->trackingQueue().drain();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms) << "the server hangs for 1.5 s";

    instance->waitForPendingWork();
    EXPECT_EQ(request().networkConsecutiveFailures(), 1);
    EXPECT_EQ(storedEvents(), 3u);
}

TEST_F(FlushTest, RefusedConnectionKeepsTheRows)
{
    LogCapture log;
    start([](InstanceOptions& o) { o.serverURL = "http://127.0.0.1:1"; });
    trackMany(2);
    fullFlush();
    EXPECT_EQ(storedEvents(), 2u);
    EXPECT_EQ(request().networkConsecutiveFailures(), 1);
    EXPECT_TRUE(log.contains("API request to /track/ has failed with reason other("));
}

TEST_F(FlushTest, OverlappingFlushesSendEachRecordOnce)
{
    server.setAnswer({200, "1", {}, 100ms});
    trackMany(120);
    for (int i = 0; i < 4; ++i)
        instance->flush(true);
    instance->waitForPendingWork();
    EXPECT_EQ(server.records("/track/").size(), 120u);
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(FlushTest, WithoutServerURLRecordsWaitInABoundedQueue)
{
    LogCapture log;
    start([](InstanceOptions& o) {
        o.serverURL = "";
        o.queueLimits.maxRows = 20;
    });
    trackMany(3);
    fullFlush();
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(storedEvents(), 3u);

    // Past the limit the oldest go, down to nine tenths, with one line.
    trackMany(18, 3);
    instance->waitForPendingWork();
    const auto rows =
        instance->persistence().database().readRows(PersistenceType::Events, AnalyticsDB::kAllRows, false);
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows.front()["properties"]["n"], 3);
    EXPECT_EQ(rows.back()["properties"]["n"], 20);
    EXPECT_EQ(log.count("(warning) Queue analytics_testtoken_events is full (20 records or 20971520 bytes): "
                        "dropped the 3 oldest records"),
              1u);
}

TEST_F(FlushTest, OptingOutStopsAFlushBetweenBatches)
{
    trackMany(120);
    server.setOnRequest([this] { instance->optOutTracking(); });
    fullFlush();
    EXPECT_EQ(server.requestCount(), 1u) << "no batch goes out after the user said no";
}

TEST_F(FlushTest, TheLogCountsBatchesAndShowsTheirRecordsOnlyWhenAskedTo)
{
    for (const bool contents : {false, true}) {
        LogCapture log;
        start([contents](InstanceOptions& o) { o.logBatchContents = contents; });
        instance->track("import_scan_complete", {{"folderPath", "/home/someone/Private Notes"}});
        fullFlush();
        EXPECT_TRUE(log.contains("(info) Sent 1 records to /track/")) << contents;
        EXPECT_EQ(log.contains("Sending batch of data: 1 records to /track/"), !contents);
        EXPECT_EQ(log.contains("Private Notes"), contents);
    }
}

TEST_F(FlushTest, GzipCompressesEventsOnlyAndArrivesAsTheSameJson)
{
    LogCapture log;
    start([](InstanceOptions& o) { o.useGzipCompression = true; });
    instance->identify("u");
    instance->people().set({{"plan", "pro"}});
    trackMany(5);
    fullFlush();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/track/");
    EXPECT_EQ(requests[0].headers.find("Content-Encoding")->second, "gzip");
    EXPECT_EQ(nlohmann::json::parse(requests[0].body).size(), 6u);  // httplib has gunzipped it
    EXPECT_EQ(requests[1].path, "/engage/");
    EXPECT_EQ(requests[1].headers.count("Content-Encoding"), 0u);
    EXPECT_EQ(nlohmann::json::parse(requests[1].body)[0]["$distinct_id"], "u");
    EXPECT_TRUE(log.contains("Payload gzipped: original size = "));
}

TEST_F(FlushTest, ResignActiveFlushesAndTimerFlushesOnItsOwn)
{
    trackMany(2);
    instance->applicationWillResignActive();
    instance->waitForPendingWork();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_FALSE(instance->flusher().isFlushTimerRunning());

    instance->setFlushInterval(0.05);
    trackMany(1);
    for (int i = 0; i < 200 && server.requestCount() < 2; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST(FlushRequestTest, PlusInAQueryValueArrivesEncoded)
{
    TestServer server;
    FlushRequest request(server.url(), systemClock());
    ASSERT_TRUE(request.sendRequest("[]", PersistenceType::Groups, false, {{"X-Test", "1"}}, {{"q", "a+b c"}}, true));
    const auto r = server.requests().at(0);
    EXPECT_EQ(r.target, "/groups/?ip=0&q=a%2Bb%20c");
    EXPECT_EQ(r.headers.find("X-Test")->second, "1");
    EXPECT_EQ(r.headers.count("Content-Encoding"), 0u);  // groups are never compressed
}

TEST(NetworkTest, BuildsUrlsUnderTheBasePath)
{
    Resource r;
    r.path = "/track/";
    EXPECT_EQ(Network::buildURL("https://api.example.org", r), "https://api.example.org/track/");
    EXPECT_EQ(Network::buildURL("https://example.org/analytics/", r), "https://example.org/analytics/track/");
    EXPECT_EQ(Network::buildURL("https://example.org/analytics?x=1", r), "https://example.org/analytics/track/");
    EXPECT_EQ(Network::buildURL("", r), "");
    EXPECT_EQ(Network::buildURL("ftp://example.org", r), "");
    r.queryItems = {{"ip", "1"}, {"k&=", "é"}};
    EXPECT_EQ(Network::buildURL("http://h", r), "http://h/track/?ip=1&k%26%3D=%C3%A9");
}

TEST(GzipTest, RoundTripsAnySizeAndLeavesEmptyInputAlone)
{
    LogCapture log;
    EXPECT_EQ(gzipCompressed(""), "");
    EXPECT_TRUE(log.contains("(warning) Empty Data object cannot be compressed."));
    for (const std::string& input : {std::string("x"), std::string(100000, 'a'), std::string("[{\"event\":\"e\"}]")}) {
        const auto compressed = gzipCompressed(input);
        ASSERT_GE(compressed.size(), 2u);
        EXPECT_EQ(static_cast<unsigned char>(compressed[0]), 0x1f);
        EXPECT_TRUE(gunzip(compressed) == input) << "input of " << input.size() << " bytes";
    }
    EXPECT_TRUE(log.contains("Payload gzipped: original size = 100000 bytes, compressed size = "));
}
