#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariantMap>

#include <functional>

namespace flintly::test {

// A session bus of the test's own (a dbus-daemon with the session bus's rules and no
// services to start), gone with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool isUp() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // A new connection to it under `name` (closed by the caller or at exit).
    QDBusConnection connect(const QString& name) const;

private:
    QTemporaryFile config_;
    QProcess daemon_;
    QString address_;
};

// Stands in for xdg-desktop-portal's GlobalShortcuts on a private bus, with the quirks
// of real versions to switch on: no host Registry, binding only what CreateSession
// lists (Plasma 5.27), session handles typed as object paths, refusals and dismissals.
// Answers each request's Response before the call's own reply, as a fast backend can.
class StandInPortal final : public QDBusVirtualObject {
public:
    struct Call {
        QString member;
        QVariantMap options;
        QStringList shortcutIds;
        QStringList preferredTriggers;
        QString session;
    };

    explicit StandInPortal(const PrivateBus& bus);
    ~StandInPortal() override;

    bool hasRegistry = true;
    uint version = 1;
    bool bindsInCreateSession = false;
    bool sessionHandleAsPath = false;
    uint createResponse = 0;
    uint bindResponse = 0;
    // The trigger description the user grants for a shortcut id and preferred trigger;
    // empty grants nothing.
    std::function<QString(const QString& id, const QString& preferred)> grant;

    QList<Call> calls;
    QStringList members() const;
    QString session() const { return session_; }

    void activate(const QString& id, const QString& session, const QString& token = {});
    void deactivate(const QString& id, const QString& session);
    // The user changed the key in the desktop's settings.
    void changeShortcut(const QString& id, const QString& triggerDescription);

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void respond(const QDBusMessage& call, const QString& requestPath, uint code, const QVariantMap& results);
    QVariant grantedList(const Call& call) const;
    QString requestPath(const QDBusMessage& call, const QVariantMap& options) const;

    QString name_;
    QDBusConnection bus_;
    QString session_;
};

}  // namespace flintly::test
