#pragma once

#include "shortcuts/KeyGrabBackend.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QTimer>

#include <xcb/xcb.h>

#include <memory>

namespace flintly::shortcuts {

// Hotkeys as passive key grabs on the root window. X matches a grab's modifiers
// exactly, so each shortcut is grabbed four times: as is, with Caps Lock, with Num
// Lock and with both, or it would die whenever one of the locks is on.
class X11KeyGrabBackend final : public KeyGrabBackend, public QAbstractNativeEventFilter {
public:
    X11KeyGrabBackend(xcb_connection_t* connection, xcb_window_t root);
    ~X11KeyGrabBackend() override;

    int grab(quint32 id, const Shortcut& shortcut) override;
    void ungrab(quint32 id) override;
    bool isHeldByAnotherClient(const Shortcut& shortcut) override;
    bool installHandler(Handler handler) override;
    UserActivation activation() const override { return {eventTime_, {}}; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X modifier mask of Carbon modifiers; nothing when one has no X equivalent.
    static std::optional<quint16> xModifiers(quint32 carbonModifiers);
    static quint32 carbonModifiers(quint16 xState);

private:
    struct Grab {
        Shortcut shortcut;
        quint8 keycode;
        quint16 modifiers;
        // The masks actually grabbed. Num Lock may move to another modifier later, and
        // only these undo this grab.
        QList<quint16> variants;
    };

    // Grabs every lock variant of the current keymap; on a refusal releases what it
    // took and returns the X error code.
    int grabVariants(Grab& grab);
    void ungrabVariants(Grab& grab);
    QList<quint16> lockVariants(quint16 modifiers) const;
    void readLockMasks();
    // After a keymap change: the lock variants of every grab follow the new Num Lock.
    void keymapChanged();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    quint16 numLockMask_ = 0;
    Handler handler_;
    quint32 eventTime_ = 0;
    bool filterInstalled_ = false;
    QHash<quint32, Grab> grabs_;
    // The release of a hotkey belongs to its press even when a modifier was let go
    // first (Ctrl up, then J up): X then reports the release without Ctrl.
    QHash<quint8, quint32> pressedIds_;
    // X repeats a held key as release-press pairs stamped within a millisecond. Otherwise
    // a held Ctrl+J would toggle the note window on and off until let go. A release is
    // therefore decided only once the events already queued behind it have been seen:
    // a press with its timestamp makes it a repeat. The live keymap cannot decide it
    // alone, as a loaded machine may still be working through repeats queued long
    // before the real release.
    struct PendingRelease {
        quint32 id;
        quint32 time;
    };
    QHash<quint8, PendingRelease> pendingReleases_;
    QTimer releaseTimer_;
    void settlePendingReleases();
    bool runHandler(quint32 id, bool pressed, quint32 time);
    bool isKeyDown(quint8 keycode);
};

// Nothing unless the GUI application runs on X11 (xcb).
std::unique_ptr<KeyGrabBackend> createX11KeyGrabBackend();

}  // namespace flintly::shortcuts
