#pragma once

#include "shortcuts/KeyGrabBackend.h"

#include <QList>
#include <QMap>
#include <QSet>

namespace flintly::test {

namespace GrabStatus = shortcuts::GrabStatus;
using shortcuts::KeyGrabBackend;
using shortcuts::Shortcut;

// Records grabs instead of making them; a test presses keys by id and can make the
// "server" refuse a combination, as another program holding it would.
class FakeKeyGrabBackend final : public KeyGrabBackend {
public:
    struct State {
        QMap<quint32, Shortcut> grabs;
        QList<quint32> grabCalls;
        QSet<Shortcut> heldElsewhere;
        QSet<Shortcut> unmappable;
        Handler handler;
        int probes = 0;
        shortcuts::HotkeyCarrier carrier = shortcuts::HotkeyCarrier::of(shortcuts::HotkeyCarrier::Kind::x11Grab);
        int configures = 0;
        // Sets the carrier as the desktop would, announcing the change.
        std::function<void(shortcuts::HotkeyCarrier)> changeCarrier;
    };

    explicit FakeKeyGrabBackend(State& state) : state_(state)
    {
        state_.changeCarrier = [this](shortcuts::HotkeyCarrier carrier) {
            state_.carrier = std::move(carrier);
            carrierChanged();
        };
    }

    int grab(quint32 id, const Shortcut& shortcut) override
    {
        state_.grabCalls.append(id);
        if (state_.unmappable.contains(shortcut))
            return GrabStatus::badValue;
        if (state_.heldElsewhere.contains(shortcut))
            return GrabStatus::badAccess;
        state_.grabs.insert(id, shortcut);
        return GrabStatus::ok;
    }
    void ungrab(quint32 id) override { state_.grabs.remove(id); }
    bool isHeldByAnotherClient(const Shortcut& shortcut) override
    {
        ++state_.probes;
        return state_.heldElsewhere.contains(shortcut);
    }
    bool installHandler(Handler handler) override
    {
        state_.handler = std::move(handler);
        return true;
    }
    shortcuts::HotkeyCarrier carrier() const override { return state_.carrier; }
    void configure() override { ++state_.configures; }

private:
    State& state_;
};

// Presses a grabbed shortcut through the backend's handler; false when nothing holds it.
inline bool pressGrabbed(FakeKeyGrabBackend::State& state, const Shortcut& shortcut, bool pressed)
{
    for (auto it = state.grabs.cbegin(); it != state.grabs.cend(); ++it)
        if (it.value() == shortcut)
            return state.handler && state.handler(it.key(), pressed);
    return false;
}

}  // namespace flintly::test
