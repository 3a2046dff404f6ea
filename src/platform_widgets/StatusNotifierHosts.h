#pragma once

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusServiceWatcher;

namespace flintly {

// Whether a StatusNotifier tray (KDE's panel, GNOME's AppIndicator extension, most
// others) is there to show an icon: its watcher service, org.kde.StatusNotifierWatcher,
// is on the session bus and says a host has registered with it. Follows the watcher as
// it comes, goes and restarts. Every question to it is asynchronous, so a watcher that
// hangs holds nothing up; it just counts as no tray.
class StatusNotifierHosts : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierHosts(const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Nothing until the watcher (or its absence) has answered the first time.
    std::optional<bool> available() const { return available_; }

signals:
    // The first answer, and every change after it.
    void availabilityChanged(bool available);

private slots:
    void ask();

private:
    void settle(bool available);

    QDBusConnection bus_;
    QDBusServiceWatcher* watcher_ = nullptr;
    std::optional<bool> available_;
    quint64 question_ = 0;  // only the latest question's answer counts
};

}  // namespace flintly
