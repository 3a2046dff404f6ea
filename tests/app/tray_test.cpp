// The tray icon against a StatusNotifier watcher that comes, goes and comes back, on a
// session bus of the test's own. Its own process: Qt chooses its kind of tray once per
// process, and that choice is what is under test.
#include "app/TrayIcon.h"
#include "platform_widgets/StatusNotifierHosts.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMutex>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QThread>

#include <atomic>
#include <cmath>

using namespace flintly;
using namespace flintly::test;

namespace {

// The desktop's watcher on the bus.
class WatcherObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    bool isHostRegistered() const
    {
        ++hostQuestions;
        return host;
    }
    int protocolVersion() const { return 0; }

    QStringList items() const
    {
        QMutexLocker lock(&mutex_);
        return items_;
    }

    std::atomic<int> mutable hostQuestions{0};
    std::atomic<bool> host{false};

public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        QMutexLocker lock(&mutex_);
        items_.append(service);
    }

signals:
    void StatusNotifierHostRegistered();

private:
    mutable QMutex mutex_;
    QStringList items_;
};

// Serves the watcher from a thread of its own, as a separate program would (Qt asks it
// with blocking calls).
class FakeWatcher {
public:
    FakeWatcher()
    {
        thread_.start();
        onThread([this] {
            bus_ = std::make_unique<QDBusConnection>(
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-watcher")));
            object_ = std::make_unique<WatcherObject>();
            bus_->registerObject(QStringLiteral("/StatusNotifierWatcher"), object_.get(),
                                 QDBusConnection::ExportAllContents);
        });
    }
    ~FakeWatcher()
    {
        onThread([this] {
            bus_->unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
            bus_->unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
            object_.reset();
            bus_.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-watcher"));
        });
        thread_.quit();
        thread_.wait();
    }

    void arrive(bool withHost)
    {
        object_->host = withHost;
        onThread([this] { bus_->registerService(QStringLiteral("org.kde.StatusNotifierWatcher")); });
    }
    void hostArrives()
    {
        object_->host = true;
        onThread([this] { emit object_->StatusNotifierHostRegistered(); });
    }
    void leave()
    {
        onThread([this] { bus_->unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher")); });
    }

    QStringList items() const { return object_->items(); }
    int hostQuestions() const { return object_->hostQuestions; }

private:
    void onThread(const std::function<void()>& work)
    {
        QObject context;
        context.moveToThread(&thread_);
        QMetaObject::invokeMethod(&context, work, Qt::BlockingQueuedConnection);
    }

    QThread thread_;
    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<WatcherObject> object_;
};

bool onTheBus(const QString& name) { return QDBusConnection::sessionBus().interface()->isServiceRegistered(name); }

TEST(Tray, ComesWithTheDesktopsTrayWheneverThatStartsAndGoesWithIt)
{
    if (QGuiApplication::platformName() != u"xcb" || !QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs an X server and a session bus";
    QMenu menu;
    int toggles = 0;
    StatusNotifierHosts hosts;
    TrayIcon tray([&] { ++toggles; }, &menu, {&hosts, [] { return false; }});

    // No tray at start: nothing to show, and Qt is not made to choose yet.
    ASSERT_TRUE(waitUntil([&] { return hosts.available().has_value(); }));
    EXPECT_FALSE(tray.isShown());

    // A watcher without a panel behind it is no tray either.
    FakeWatcher watcher;
    watcher.arrive(false);
    ASSERT_TRUE(waitUntil([&] { return watcher.hostQuestions() > 0; }));
    spin(100);
    EXPECT_FALSE(tray.isShown());

    // The panel comes: the icon registers with the watcher.
    watcher.hostArrives();
    ASSERT_TRUE(waitUntil([&] { return !watcher.items().isEmpty(); }, 10000)) << "the icon never registered";
    EXPECT_TRUE(tray.isShown());
    const QString item = watcher.items().first();
    EXPECT_TRUE(onTheBus(item));
    emit tray.icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(toggles, 1) << "a click shows or hides the note";

    // The tray goes (the extension is switched off): so does our item.
    watcher.leave();
    ASSERT_TRUE(waitUntil([&] { return !tray.isShown(); }));
    EXPECT_TRUE(waitUntil([&] { return !onTheBus(item); })) << "no stale item waits on the bus";

    // And it comes back with the tray.
    watcher.arrive(true);
    EXPECT_TRUE(waitUntil([&] { return watcher.items().size() == 2; }, 10000));
    EXPECT_TRUE(tray.isShown());
}

// Luminance contrast (WCAG) between two colours.
double contrast(QColor a, QColor b)
{
    auto luminance = [](QColor c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Tray, TheIconReadsOnLightAndDarkPanels)
{
    const QPixmap icon = TrayIcon::symbolicIcon().pixmap(QSize(22, 22));
    ASSERT_FALSE(icon.isNull());
    for (const QColor panel :
         {QColor(Qt::white), QColor(0xf2, 0xf2, 0xf2), QColor(0x20, 0x20, 0x20), QColor(Qt::black)}) {
        QImage shown(icon.size(), QImage::Format_RGB32);
        shown.fill(panel);
        QPainter(&shown).drawPixmap(0, 0, icon);
        int standingOut = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                standingOut += contrast(shown.pixelColor(x, y), panel) >= 3.0;
        EXPECT_GE(standingOut, 30) << "on " << panel.name().toStdString();
    }
}

}  // namespace

#include "tray_test.moc"
