#include "shortcuts/PortalKeyGrabBackend.h"

#include "platform/Log.h"
#include "platform/TimeSource.h"
#include "shortcuts/CurrentKeyboardLayout.h"
#include "shortcuts/GlobalShortcutsPortal.h"
#include "shortcuts/Modifiers.h"
#include "shortcuts/PortalHotkeys.h"

#include <QPointer>

namespace flintly::shortcuts {

namespace {

// What a portal answers for an interface it lacks (the host Registry before 1.19.3,
// GlobalShortcuts before GNOME 48).
bool isMissingMethod(const QString& error)
{
    return error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")
        || error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface")
        || error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

bool isNoPortal(const QString& error)
{
    return error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

}  // namespace

PortalKeyGrabBackend::PortalKeyGrabBackend(std::unique_ptr<GlobalShortcutsPortal> portal, Options options)
    : portal_(std::move(portal)), options_(std::move(options)),
      presses_(options_.time ? *options_.time : TimeSource::system(),
               [this](quint32 id, bool pressed, const QString& token) { runHandler(id, pressed, token); })
{
    if (!options_.time)
        options_.time = &TimeSource::system();
    if (!options_.layout)
        options_.layout = &currentKeyboardLayout();
    reconnect_ = options_.time->createTimer([this] {
        if (!busy_ && session_.isEmpty()) {
            requested_.reset();
            syncNow();
        }
    });
    connect(portal_.get(), &GlobalShortcutsPortal::activated, this, &PortalKeyGrabBackend::onActivated);
    connect(portal_.get(), &GlobalShortcutsPortal::deactivated, this, &PortalKeyGrabBackend::onDeactivated);
    connect(portal_.get(), &GlobalShortcutsPortal::shortcutsChanged, this,
            [this](const QString& session, const QList<PortalShortcut>& shortcuts) {
                if (session_.isEmpty() || session != session_)
                    return;
                for (const PortalShortcut& s : shortcuts)
                    grants_.insert(s.id, s.triggerDescription);
                updateCarrier();
            });
    connect(portal_.get(), &GlobalShortcutsPortal::sessionClosed, this, [this](const QString& session) {
        if (session != session_)
            return;
        log("⚠️ The desktop portal ended the hotkey's session; it comes back with the next start or a new shortcut");
        session_.clear();
        grants_.clear();
        setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::unavailable));
    });
    connect(portal_.get(), &GlobalShortcutsPortal::vanished, this, &PortalKeyGrabBackend::portalVanished);
    connect(portal_.get(), &GlobalShortcutsPortal::appeared, this, &PortalKeyGrabBackend::portalAppeared);
}

PortalKeyGrabBackend::~PortalKeyGrabBackend()
{
    // Sent at once, though its answer will never be read: a later session with the
    // same token on the same connection must not find this one still open.
    if (!session_.isEmpty())
        portal_->closeSession(session_, [] {});
}

int PortalKeyGrabBackend::grab(quint32 id, const Shortcut& shortcut)
{
    if (shortcut.carbonModifiers() & CarbonModifier::function)
        return GrabStatus::badValue;
    grabs_.insert(id, shortcut);
    sync();
    return GrabStatus::ok;
}

void PortalKeyGrabBackend::ungrab(quint32 id)
{
    if (!grabs_.remove(id))
        return;
    presses_.forget(id);
    sync();
}

bool PortalKeyGrabBackend::installHandler(Handler handler)
{
    handler_ = std::move(handler);
    return true;
}

void PortalKeyGrabBackend::configure()
{
    if (!session_.isEmpty() && version_ >= 2)
        portal_->configureShortcuts(session_, {});
}

QList<PortalShortcut> PortalKeyGrabBackend::wanted() const
{
    return portalShortcutsFor(grabs_, options_.hotkeys, *options_.layout);
}

std::optional<quint32> PortalKeyGrabBackend::grabForPortalId(const QString& id) const
{
    const auto it = sessionIds_.constFind(id);
    if (it == sessionIds_.constEnd() || !grabs_.contains(*it))
        return std::nullopt;
    return *it;
}

// --- the session

// Grabs come and go in bursts (a new shortcut is an ungrab and a grab): the session
// follows once the burst is over.
void PortalKeyGrabBackend::sync()
{
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            syncQueued_ = false;
            syncNow();
        },
        Qt::QueuedConnection);
}

void PortalKeyGrabBackend::syncNow()
{
    if (busy_) {
        dirty_ = true;
        return;
    }
    if (!portal_->isConnected()) {
        setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::unavailable));
        return;
    }
    const QList<PortalShortcut> want = wanted();
    if (requested_ == want)
        return;
    busy_ = true;
    requested_ = want;
    const QList<quint32> grabIds = grabs_.keys();
    const quint64 epoch = epoch_;

    // One bind per session (version 1): a changed shortcut is a new session, with the
    // same token, so the old one is closed first and fully.
    auto start = [this, want, grabIds, epoch] {
        if (epoch != epoch_)
            return;
        sessionIds_.clear();
        if (want.isEmpty()) {
            grants_.clear();
            updateCarrier();
            finishSync();
            return;
        }
        for (qsizetype i = 0; i < want.size(); ++i)
            sessionIds_.insert(want[i].id, grabIds[i]);
        createSession(want, epoch);
    };
    auto afterRegistration = [this, start, epoch] {
        if (epoch != epoch_)
            return;
        if (session_.isEmpty()) {
            start();
            return;
        }
        const QString old = std::exchange(session_, QString());
        portal_->closeSession(old, start);
    };
    if (registered_) {
        afterRegistration();
        return;
    }
    // Before any other call to this portal (a restarted one must hear it again).
    portal_->registerApp(
        options_.appId, [this, afterRegistration, epoch](const QString& error, const QString& message) {
            if (epoch != epoch_)
                return;
            registered_ = true;
            if (!error.isEmpty() && !isMissingMethod(error) && !isNoPortal(error))
                log("⚠️ The desktop portal did not register", options_.appId + ":", error, message);
            portal_->readVersion([this, epoch](uint version) {
                if (epoch != epoch_)
                    return;
                version_ = version;
                updateCarrier();
            });
            afterRegistration();
        });
}

void PortalKeyGrabBackend::createSession(const QList<PortalShortcut>& shortcuts, quint64 epoch)
{
    setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::pending));
    portal_->createSession(options_.sessionToken, shortcuts, [this, shortcuts, epoch](const PortalResponse& response) {
        if (epoch != epoch_)
            return;
        if (response.code != PortalResponse::success || response.sessionHandle.isEmpty()) {
            failed(response, "CreateSession");
            return;
        }
        session_ = response.sessionHandle;
        // Bound already when the answer lists every shortcut; asking again would have
        // Plasma 5.27 open System Settings at every start.
        bool listed = response.shortcuts.has_value();
        for (const PortalShortcut& s : shortcuts)
            listed = listed
                && std::any_of(response.shortcuts->cbegin(), response.shortcuts->cend(),
                               [&](const PortalShortcut& b) { return b.id == s.id; });
        if (listed) {
            granted(*response.shortcuts);
            return;
        }
        portal_->bindShortcuts(session_, shortcuts, [this, epoch](const PortalResponse& bound) {
            if (epoch != epoch_)
                return;
            if (bound.code == PortalResponse::success)
                granted(bound.shortcuts.value_or(QList<PortalShortcut>()));
            else
                failed(bound, "BindShortcuts");
        });
    });
}

// What the user accepted replaces what they had: a shortcut missing from the answer, or
// listed without a trigger, has no key.
void PortalKeyGrabBackend::granted(const QList<PortalShortcut>& shortcuts)
{
    grants_.clear();
    for (const PortalShortcut& s : shortcuts)
        grants_.insert(s.id, s.triggerDescription);
    updateCarrier();
    finishSync();
}

void PortalKeyGrabBackend::failed(const PortalResponse& response, const char* call)
{
    grants_.clear();
    if (response.code == PortalResponse::cancelled && response.error.isEmpty()) {
        setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::declined, {}, canConfigure()));
    } else {
        if (isNoPortal(response.error))
            log("⚠️ No desktop portal answers on the session bus:", response.message);
        else if (isMissingMethod(response.error))
            log("⚠️ The desktop portal has no global shortcuts:", response.message);
        else
            log(QStringLiteral("⚠️ The desktop portal refused %1:").arg(QLatin1String(call)),
                response.error.isEmpty() ? QStringLiteral("response %1").arg(response.code) : response.error,
                response.message);
        setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::unavailable));
    }
    finishSync();
}

void PortalKeyGrabBackend::finishSync()
{
    busy_ = false;
    if (std::exchange(dirty_, false))
        syncNow();
}

bool PortalKeyGrabBackend::canConfigure() const { return version_ >= 2 && !session_.isEmpty(); }

void PortalKeyGrabBackend::updateCarrier()
{
    if (grabs_.isEmpty()) {
        setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::portal, {}, canConfigure()));
        return;
    }
    if (session_.isEmpty())
        return;  // no session: the failure that ended it says what the carrier is
    const QString trigger = grants_.value(requested_ && !requested_->isEmpty() ? requested_->first().id : QString());
    setCarrier(HotkeyCarrier::of(trigger.isEmpty() ? HotkeyCarrier::Kind::declined : HotkeyCarrier::Kind::portal,
                                 trigger, canConfigure()));
}

void PortalKeyGrabBackend::setCarrier(HotkeyCarrier carrier)
{
    if (carrier == carrier_)
        return;
    carrier_ = std::move(carrier);
    carrierChanged();
}

// --- the portal coming and going

void PortalKeyGrabBackend::portalVanished()
{
    ++epoch_;
    portal_->abandonRequests();
    busy_ = false;
    dirty_ = false;
    registered_ = false;
    version_ = 0;
    session_.clear();
    grants_.clear();
    requested_.reset();
    // A key held while the portal went away has no release coming.
    presses_.forgetAll();
    if (grabs_.isEmpty())
        return;
    log("🔄 The desktop portal went away; the hotkey is bound again when it is back");
    setCarrier(HotkeyCarrier::of(HotkeyCarrier::Kind::pending));
    reconnect_->start(kReconnectDelayMs);
}

void PortalKeyGrabBackend::portalAppeared()
{
    // A first call starts a bus-activated portal: that chain is talking to it already.
    if (busy_ || !session_.isEmpty())
        return;
    reconnect_->stop();
    requested_.reset();
    syncNow();
}

// --- presses and releases

void PortalKeyGrabBackend::onActivated(const QString& session, const QString& id, const QString& token)
{
    if (session_.isEmpty() || session != session_)
        return;
    if (const auto grabId = grabForPortalId(id))
        presses_.activated(*grabId, token);
}

void PortalKeyGrabBackend::onDeactivated(const QString& session, const QString& id)
{
    if (session_.isEmpty() || session != session_)
        return;
    if (const auto grabId = grabForPortalId(id))
        presses_.deactivated(*grabId);
}

void PortalKeyGrabBackend::runHandler(quint32 grabId, bool pressed, const QString& token)
{
    if (!handler_ || !grabs_.contains(grabId))
        return;
    // Copy: the handler may ungrab and so change this object's state.
    const Handler handler = handler_;
    QPointer<PortalKeyGrabBackend> self(this);
    activationToken_ = token;
    handler(grabId, pressed);
    if (self)
        activationToken_.clear();
}

}  // namespace flintly::shortcuts
