#include "app/Updater.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

using namespace flintly;

namespace {
// A one-route HTTP server on loopback that answers every request with `body` and
// `status` (or never answers, to stand for a server that hangs).
class FeedServer : public QObject {
public:
    QByteArray body;
    int status = 200;
    bool hang = false;
    int requests = 0;

    FeedServer()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n") || hang)
                        return;
                    ++requests;
                    socket->write("HTTP/1.1 " + QByteArray::number(status)
                                  + " X\r\nContent-Type: application/xml\r\n"
                                    "Content-Length: "
                                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server_.serverPort()); }

private:
    QTcpServer server_;
};

const QByteArray kFeed = R"xml(<?xml version="1.0"?>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
<item><enclosure url="https://example.invalid/flintly-2.0.tar.gz" sparkle:shortVersionString="2.0"/></item>
</channel></rss>)xml";
}  // namespace

TEST(UpdaterOverHttp, ANewerReleaseIsAnnouncedAndTheSameOneIsQuiet)
{
    FeedServer server;
    server.body = kFeed;
    Updater older(server.url(), QStringLiteral("1.4"));
    std::optional<AppcastRelease> found;
    QObject::connect(&older, &Updater::updateFound, [&](const AppcastRelease& r) { found = r; });
    EXPECT_TRUE(older.canCheckForUpdates());
    older.checkForUpdatesInBackground();
    ASSERT_TRUE(test::waitUntil([&] { return found.has_value(); }, 10000));
    EXPECT_EQ(found->version, QStringLiteral("2.0"));
    EXPECT_EQ(found->downloadUrl, QUrl(QStringLiteral("https://example.invalid/flintly-2.0.tar.gz")));

    Updater current(server.url(), QStringLiteral("2.0"));
    bool upToDate = false;
    QObject::connect(&current, &Updater::upToDate, [&] { upToDate = true; });
    current.checkForUpdates();
    EXPECT_TRUE(test::waitUntil([&] { return upToDate; }, 10000));
}

TEST(UpdaterOverHttp, FailuresAndGarbageAreReportedOnlyWhenAsked)
{
    FeedServer server;
    server.status = 500;
    server.body = "oops";
    Updater updater(server.url(), QStringLiteral("1.0"));
    QStringList failures;
    QObject::connect(&updater, &Updater::checkFailed, [&](const QString& r) { failures.append(r); });
    updater.checkForUpdatesInBackground();
    ASSERT_TRUE(test::waitUntil([&] { return server.requests == 1 && updater.canCheckForUpdates(); }, 10000));
    EXPECT_TRUE(failures.isEmpty()) << "a background check fails quietly (logged only)";

    server.status = 200;
    server.body = "<html>not a feed";
    updater.checkForUpdates();
    ASSERT_TRUE(test::waitUntil([&] { return !failures.isEmpty(); }, 10000));
}

TEST(UpdaterOverHttp, AHangingServerNeverBlocksTheCaller)
{
    FeedServer server;
    server.hang = true;
    auto updater = std::make_unique<Updater>(server.url(), QStringLiteral("1.0"));
    QElapsedTimer t;
    t.start();
    updater->checkForUpdatesInBackground();
    EXPECT_LT(t.elapsed(), 2000) << "a caller that waited would wait for ever";
    EXPECT_FALSE(updater->canCheckForUpdates()) << "one check at a time";
    test::spin(200);
    t.restart();
    updater.reset();  // quitting while the server says nothing
    EXPECT_LT(t.elapsed(), 3000);
}
