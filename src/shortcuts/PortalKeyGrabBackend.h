#pragma once

#include "shortcuts/GlobalShortcutsPortal.h"
#include "shortcuts/KeyGrabBackend.h"
#include "shortcuts/PortalHotkeys.h"
#include "shortcuts/PortalPresses.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace flintly {
class OneShotTimer;
class TimeSource;
}  // namespace flintly

namespace flintly::shortcuts {

class KeyboardLayout;
struct PortalResponse;

// Hotkeys through the desktop portal (Wayland sessions): every grab becomes a shortcut
// of one portal session, bound with the stored key as the preferred trigger; the desktop
// decides the key, and its Activated / Deactivated signals are our presses and releases.
//
// What real portals need, beyond their documentation:
// - xdg-desktop-portal 1.21 refuses a session to an unsandboxed app that did not
//   register its app ID first; before 1.19.3 there is no Registry to register with.
// - Plasma 5.27 binds only the shortcuts given to CreateSession (BindShortcuts answers
//   with nothing and opens System Settings); portal 1.17 and later drop that list and
//   expect BindShortcuts. So both, BindShortcuts only when CreateSession did not bind.
// - KDE names its shortcut component after the session token (for an unsandboxed app
//   on 1.16 the app ID is empty): a new token at every start leaves the old component
//   holding the key, so the token is fixed.
// - Portal 1.16 sends every app's Activated and Deactivated to every client: only our
//   session's count.
class PortalKeyGrabBackend final : public QObject, public KeyGrabBackend {
    Q_OBJECT
public:
    using Hotkey = PortalHotkey;
    struct Options {
        QString appId;
        QString sessionToken;
        // The grabs take these in the order of their ids, so the app's one hotkey is
        // the first.
        QList<Hotkey> hotkeys;
        TimeSource* time = nullptr;              // null: the system clock
        const KeyboardLayout* layout = nullptr;  // null: the current layout
    };

    // A vanished portal is asked again after this (a bus-activated one starts then).
    static constexpr int kReconnectDelayMs = 2000;

    PortalKeyGrabBackend(std::unique_ptr<GlobalShortcutsPortal> portal, Options options);
    ~PortalKeyGrabBackend() override;

    int grab(quint32 id, const Shortcut& shortcut) override;
    void ungrab(quint32 id) override;
    // The portal's dialog is where conflicts are resolved; nothing to probe.
    bool isHeldByAnotherClient(const Shortcut&) override { return false; }
    bool installHandler(Handler handler) override;
    UserActivation activation() const override { return {0, activationToken_}; }
    HotkeyCarrier carrier() const override { return carrier_; }
    bool deliversWhileMenuOpen() const override { return true; }

    void configure() override;

private:
    QList<PortalShortcut> wanted() const;
    std::optional<quint32> grabForPortalId(const QString& id) const;

    // Brings the portal's session in line with the grabs; one step chain at a time.
    void sync();
    void syncNow();
    void createSession(const QList<PortalShortcut>& shortcuts, quint64 epoch);
    void granted(const QList<PortalShortcut>& shortcuts);
    void failed(const PortalResponse& response, const char* call);
    void finishSync();
    bool canConfigure() const;
    void updateCarrier();
    void portalVanished();
    void portalAppeared();

    void onActivated(const QString& session, const QString& id, const QString& token);
    void onDeactivated(const QString& session, const QString& id);
    void runHandler(quint32 grabId, bool pressed, const QString& token);
    void setCarrier(HotkeyCarrier carrier);

    std::unique_ptr<GlobalShortcutsPortal> portal_;
    Options options_;
    Handler handler_;
    QMap<quint32, Shortcut> grabs_;
    // The shortcuts the current session was asked for, and what the desktop granted.
    std::optional<QList<PortalShortcut>> requested_;
    QHash<QString, quint32> sessionIds_;  // portal id -> grab id, of the session's shortcuts
    QHash<QString, QString> grants_;      // portal id -> trigger description
    QString session_;
    bool registered_ = false;
    uint version_ = 0;
    bool busy_ = false;
    bool dirty_ = false;
    bool syncQueued_ = false;
    // Bumped when the portal goes away: answers to the old one's requests are stale.
    quint64 epoch_ = 0;
    HotkeyCarrier carrier_ = HotkeyCarrier::of(HotkeyCarrier::Kind::pending);

    PortalPresses presses_;
    QString activationToken_;
    std::unique_ptr<OneShotTimer> reconnect_;
};

}  // namespace flintly::shortcuts
