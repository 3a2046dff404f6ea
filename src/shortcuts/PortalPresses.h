#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

namespace flintly {
class OneShotTimer;
class TimeSource;
}  // namespace flintly

namespace flintly::shortcuts {

// Turns a portal's Activated and Deactivated signals into presses and releases, the way
// a key grab reports them: one press per hold, and always a release after it.
//
// Plasma repeats Activated while the key is held, with no Deactivated between; other
// portals may send no Deactivated at all. So a press lasts until its Deactivated, or
// until the activations have been quiet for a while; once a portal has shown that it
// sends no releases, each press is taken as a press and a release at once.
class PortalPresses {
public:
    // Called with the hotkey's id, press or release, and the activation token of the press.
    using Deliver = std::function<void(quint32 id, bool pressed, const QString& token)>;

    // How long after the last activation without a Deactivated the release is made up:
    // longer than the pause before a held key's first repeat (some 600 ms).
    static constexpr int kQuietMs = 700;

    PortalPresses(TimeSource& time, Deliver deliver);
    ~PortalPresses();

    void activated(quint32 id, const QString& token);
    void deactivated(quint32 id);
    // The hotkey is gone (or the portal is): a press in progress ends without a release.
    void forget(quint32 id);
    void forgetAll();

private:
    void quiet(quint32 id);
    void release(quint32 id);

    TimeSource& time_;
    Deliver deliver_;
    // Pressed hotkeys with the activation token of their press, and those taken as
    // pressed and released at once whose repeats may still be coming.
    QHash<quint32, QString> pressed_;
    QSet<quint32> held_;
    QHash<quint32, std::shared_ptr<OneShotTimer>> quietTimers_;
    enum class Releases { unknown, sent, missing };
    Releases releases_ = Releases::unknown;
};

}  // namespace flintly::shortcuts
