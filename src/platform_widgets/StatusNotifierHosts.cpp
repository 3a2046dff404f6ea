#include "platform_widgets/StatusNotifierHosts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace flintly {

namespace {
const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
}  // namespace

StatusNotifierHosts::StatusNotifierHosts(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    watcher_ = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty()) {
                    ++question_;  // an answer on its way from the one that left counts no more
                    settle(false);
                } else {
                    ask();
                }
            });
    // A host (the panel) may register with a watcher that was there before it, or leave it.
    bus_.connect(kService, kPath, kService, QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(ask()));
    bus_.connect(kService, kPath, kService, QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(ask()));
    ask();
}

void StatusNotifierHosts::ask()
{
    const quint64 question = ++question_;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kService << QStringLiteral("IsStatusNotifierHostRegistered");
    // Asking must not start a watcher the bus knows how to start (a desktop installed but
    // not running): only one that is there counts. No watcher on the bus answers at once
    // with an error, which is "no tray" too.
    get.setAutoStartService(false);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, question](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (question != question_)
            return;
        const QDBusPendingReply<QDBusVariant> reply = *call;
        settle(!reply.isError() && reply.value().variant().toBool());
    });
}

void StatusNotifierHosts::settle(bool available)
{
    if (available_ == available)
        return;
    available_ = available;
    emit availabilityChanged(available);
}

}  // namespace flintly
