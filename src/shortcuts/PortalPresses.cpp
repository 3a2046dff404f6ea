#include "shortcuts/PortalPresses.h"

#include "platform/Log.h"
#include "platform/TimeSource.h"

namespace flintly::shortcuts {

PortalPresses::PortalPresses(TimeSource& time, Deliver deliver) : time_(time), deliver_(std::move(deliver)) {}

PortalPresses::~PortalPresses() = default;

void PortalPresses::activated(quint32 id, const QString& token)
{
    auto& timer = quietTimers_[id];
    if (!timer)
        timer = time_.createTimer([this, id] { quiet(id); });
    timer->start(kQuietMs);
    if (pressed_.contains(id) || held_.contains(id))
        return;  // a repeat of the held key
    if (releases_ == Releases::missing) {
        held_.insert(id);
        deliver_(id, true, token);
        if (held_.contains(id))  // unless the press took the hotkey away
            deliver_(id, false, token);
        return;
    }
    pressed_.insert(id, token);
    deliver_(id, true, token);
}

void PortalPresses::deactivated(quint32 id)
{
    // Also after a made-up release: this portal does send them, only late (a key held
    // past the wait). The next press waits for its release again.
    releases_ = Releases::sent;
    held_.remove(id);
    if (const auto timer = quietTimers_.value(id))
        timer->stop();
    if (pressed_.contains(id))
        release(id);
}

void PortalPresses::forget(quint32 id)
{
    pressed_.remove(id);
    held_.remove(id);
    // Stopped, not destroyed: this may run inside the timer's own callback.
    if (const auto timer = quietTimers_.value(id))
        timer->stop();
}

void PortalPresses::forgetAll()
{
    const QList<quint32> ids = quietTimers_.keys();
    for (quint32 id : ids)
        forget(id);
    releases_ = Releases::unknown;
}

void PortalPresses::quiet(quint32 id)
{
    held_.remove(id);
    if (!pressed_.contains(id))
        return;
    if (releases_ != Releases::missing)
        log("⌨️ The desktop portal sends no release of the hotkey; its press counts as both");
    releases_ = Releases::missing;
    release(id);
}

void PortalPresses::release(quint32 id)
{
    const QString token = pressed_.take(id);
    deliver_(id, false, token);
}

}  // namespace flintly::shortcuts
