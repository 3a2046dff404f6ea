#include "shortcuts/GlobalShortcutsPortal.h"

#include "platform/Log.h"
#include "shortcuts/PortalWire.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace flintly::shortcuts {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString kRegistryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");

void connectSignal(QDBusConnection& bus, const QString& path, const QString& interface, const QString& name,
                   QObject* receiver, const char* slot)
{
    bus.connect(kService, path, interface, name, receiver, slot);
}

void disconnectSignal(QDBusConnection& bus, const QString& path, const QString& interface, const QString& name,
                      QObject* receiver, const char* slot)
{
    bus.disconnect(kService, path, interface, name, receiver, slot);
}

}  // namespace

GlobalShortcutsPortal::GlobalShortcutsPortal(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(bus)
{
    registerPortalWireTypes();
    if (!bus_.isConnected())
        return;
    watcher_ = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                if (!oldOwner.isEmpty())
                    emit vanished();
                if (!newOwner.isEmpty())
                    emit appeared();
            });
    connectSignal(bus_, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    connectSignal(bus_, kPath, kInterface, QStringLiteral("Deactivated"), this, SLOT(onDeactivated(QDBusMessage)));
    connectSignal(bus_, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

GlobalShortcutsPortal::~GlobalShortcutsPortal()
{
    if (!bus_.isConnected())
        return;
    abandonRequests();
    if (!watchedSession_.isEmpty())
        disconnectSignal(bus_, watchedSession_, kSessionInterface, QStringLiteral("Closed"), this,
                         SLOT(onSessionClosed(QDBusMessage)));
    disconnectSignal(bus_, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    disconnectSignal(bus_, kPath, kInterface, QStringLiteral("Deactivated"), this, SLOT(onDeactivated(QDBusMessage)));
    disconnectSignal(bus_, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                     SLOT(onShortcutsChanged(QDBusMessage)));
}

QString GlobalShortcutsPortal::nextToken() { return QStringLiteral("flintly%1").arg(++tokenCounter_); }

// The portal names a request's object after the caller's unique bus name (":1.42" is
// "1_42") and the token the caller chose, so the path is known before the call.
QString GlobalShortcutsPortal::requestPath(const QString& token) const
{
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void GlobalShortcutsPortal::request(QDBusMessage call, const QString& token, Callback done)
{
    const QString path = requestPath(token);
    requests_.insert(path, std::move(done));
    connectSignal(bus_, path, kRequestInterface, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            const auto it = requests_.find(path);
            if (it == requests_.end())
                return;
            const Callback callback = it.value();
            dropRequest(path);
            PortalResponse response;
            response.error = reply.error().name();
            response.message = reply.error().message();
            callback(response);
            return;
        }
        followRequest(path, reply.value().path());
    });
}

// Portals before 0.9 chose the request's path themselves; the handle the call returns
// is the one that counts.
void GlobalShortcutsPortal::followRequest(const QString& predicted, const QString& actual)
{
    if (actual.isEmpty() || actual == predicted || !requests_.contains(predicted))
        return;
    const Callback callback = requests_.value(predicted);
    dropRequest(predicted);
    requests_.insert(actual, callback);
    connectSignal(bus_, actual, kRequestInterface, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
}

void GlobalShortcutsPortal::dropRequest(const QString& path)
{
    if (requests_.remove(path))
        disconnectSignal(bus_, path, kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
}

void GlobalShortcutsPortal::abandonRequests()
{
    const QList<QString> paths = requests_.keys();
    for (const QString& path : paths)
        dropRequest(path);
}

void GlobalShortcutsPortal::onResponse(const QDBusMessage& message)
{
    const auto it = requests_.find(message.path());
    if (it == requests_.end())
        return;
    const Callback callback = it.value();
    dropRequest(message.path());
    PortalResponse response;
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || args[0].userType() != QMetaType::UInt) {
        response.error = QStringLiteral("org.freedesktop.DBus.Error.InvalidSignature");
        response.message = QStringLiteral("a Response of signature %1").arg(message.signature());
    } else {
        response.code = args[0].toUInt();
        const QVariantMap results = vardict(args[1]);
        response.sessionHandle = pathText(results.value(QStringLiteral("session_handle")));
        if (results.contains(QStringLiteral("shortcuts")))
            response.shortcuts =
                parseShortcuts(results.value(QStringLiteral("shortcuts"))).value_or(QList<PortalShortcut>());
    }
    callback(response);
}

void GlobalShortcutsPortal::registerApp(const QString& appId,
                                        std::function<void(const QString& error, const QString& message)> done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRegistryInterface, QStringLiteral("Register"));
    call << appId << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        done(reply.isError() ? reply.error().name() : QString(), reply.error().message());
    });
}

void GlobalShortcutsPortal::readVersion(std::function<void(uint version)> done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        done(reply.isError() ? 0u : reply.value().variant().toUInt());
    });
}

void GlobalShortcutsPortal::createSession(const QString& sessionToken, const QList<PortalShortcut>& shortcuts,
                                          Callback done)
{
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), sessionToken},
                        {QStringLiteral("shortcuts"), shortcutList(shortcuts)}};
    request(call, token, [this, done = std::move(done)](const PortalResponse& response) {
        // The portal may end the session on its own (a revoked permission, a logout).
        if (response.code == PortalResponse::success && !response.sessionHandle.isEmpty()) {
            if (!watchedSession_.isEmpty())
                disconnectSignal(bus_, watchedSession_, kSessionInterface, QStringLiteral("Closed"), this,
                                 SLOT(onSessionClosed(QDBusMessage)));
            watchedSession_ = response.sessionHandle;
            connectSignal(bus_, watchedSession_, kSessionInterface, QStringLiteral("Closed"), this,
                          SLOT(onSessionClosed(QDBusMessage)));
        }
        done(response);
    });
}

void GlobalShortcutsPortal::bindShortcuts(const QString& session, const QList<PortalShortcut>& shortcuts, Callback done)
{
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session)) << shortcutList(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    request(call, token, std::move(done));
}

void GlobalShortcutsPortal::closeSession(const QString& session, std::function<void()> done)
{
    if (session == watchedSession_) {
        disconnectSignal(bus_, watchedSession_, kSessionInterface, QStringLiteral("Closed"), this,
                         SLOT(onSessionClosed(QDBusMessage)));
        watchedSession_.clear();
    }
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, session, kSessionInterface, QStringLiteral("Close"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    // Closed or not (a portal that already dropped it answers with an error), the
    // session is gone for us.
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        done();
    });
}

void GlobalShortcutsPortal::configureShortcuts(const QString& session, const QString& activationToken)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ConfigureShortcuts"));
    QVariantMap options;
    if (!activationToken.isEmpty())
        options.insert(QStringLiteral("activation_token"), activationToken);
    call << QVariant::fromValue(QDBusObjectPath(session)) << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        if (reply.isError())
            log("⚠️ The desktop did not open its shortcut settings:", reply.error().name(),
                reply.error().message());
    });
}

void GlobalShortcutsPortal::onActivated(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    const QString token =
        args.size() >= 4 ? vardict(args[3]).value(QStringLiteral("activation_token")).toString() : QString();
    emit activated(pathText(args[0]), args[1].toString(), token);
}

void GlobalShortcutsPortal::onDeactivated(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() >= 2)
        emit deactivated(pathText(args[0]), args[1].toString());
}

void GlobalShortcutsPortal::onShortcutsChanged(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    if (const auto shortcuts = parseShortcuts(args[1]))
        emit shortcutsChanged(pathText(args[0]), *shortcuts);
    else
        log("⚠️ The desktop portal sent ShortcutsChanged of signature", message.signature(), "; ignored");
}

void GlobalShortcutsPortal::onSessionClosed(const QDBusMessage& message)
{
    if (message.path() != watchedSession_)
        return;
    disconnectSignal(bus_, watchedSession_, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QDBusMessage)));
    watchedSession_.clear();
    emit sessionClosed(message.path());
}

}  // namespace flintly::shortcuts
