#pragma once

#include "shortcuts/PortalShortcut.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;

namespace flintly::shortcuts {

// The outcome of a portal request: its Response, or the D-Bus error of the call.
struct PortalResponse {
    static constexpr uint success = 0;
    static constexpr uint cancelled = 1;  // the user dismissed the desktop's dialog
    static constexpr uint failed = 2;     // refused, or the call itself failed

    uint code = failed;
    QString error;  // a D-Bus error name when the call failed before any response
    QString message;
    QString sessionHandle;
    // The shortcuts the results list; nothing when the results have no such entry.
    std::optional<QList<PortalShortcut>> shortcuts;
};

// The client side of xdg-desktop-portal's GlobalShortcuts interface on one bus: every
// call asynchronous (a portal may sit on a dialog for as long as the user likes), each
// request's Response subscribed before the call is made (a fast backend answers before
// the call returns), and the portal's bus name watched so a restart is seen.
class GlobalShortcutsPortal : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const PortalResponse&)>;

    explicit GlobalShortcutsPortal(QDBusConnection bus, QObject* parent = nullptr);
    ~GlobalShortcutsPortal() override;

    bool isConnected() const { return bus_.isConnected(); }

    // org.freedesktop.host.portal.Registry.Register; `done` gets the D-Bus error name
    // (empty on success) and its message.
    void registerApp(const QString& appId, std::function<void(const QString& error, const QString& message)> done);
    // The interface's version, 0 when it cannot be read.
    void readVersion(std::function<void(uint version)> done);
    // The shortcuts go along in the options too: some backends bind only those.
    void createSession(const QString& sessionToken, const QList<PortalShortcut>& shortcuts, Callback done);
    void bindShortcuts(const QString& session, const QList<PortalShortcut>& shortcuts, Callback done);
    void closeSession(const QString& session, std::function<void()> done);
    void configureShortcuts(const QString& session, const QString& activationToken);
    // Forgets every request still waiting for its response; their callbacks never run.
    void abandonRequests();

signals:
    void activated(const QString& session, const QString& shortcutId, const QString& activationToken);
    void deactivated(const QString& session, const QString& shortcutId);
    void shortcutsChanged(const QString& session, const QList<PortalShortcut>& shortcuts);
    void sessionClosed(const QString& session);
    // The portal's bus name found an owner again, or lost it.
    void appeared();
    void vanished();

private slots:
    void onResponse(const QDBusMessage& message);
    void onActivated(const QDBusMessage& message);
    void onDeactivated(const QDBusMessage& message);
    void onShortcutsChanged(const QDBusMessage& message);
    void onSessionClosed(const QDBusMessage& message);

private:
    // Subscribes to the Response of a request on `handle_token` and makes the call.
    void request(QDBusMessage call, const QString& token, Callback done);
    void followRequest(const QString& predicted, const QString& actual);
    void dropRequest(const QString& path);
    QString nextToken();
    QString requestPath(const QString& token) const;

    QDBusConnection bus_;
    QDBusServiceWatcher* watcher_ = nullptr;
    QHash<QString, Callback> requests_;  // by request object path
    QString watchedSession_;
    quint32 tokenCounter_ = 0;
};

}  // namespace flintly::shortcuts
