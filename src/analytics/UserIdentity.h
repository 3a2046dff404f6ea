#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/ReadWriteLock.h"

#include <optional>
#include <string>

namespace flintly::analytics {

// The user's identity as the client holds it: read from any thread, changed only on
// the tracking queue. Saving it is the owner's business.
class UserIdentity {
public:
    // An anonymous identity for this device: "$device:" and the device id, which is the
    // machine's id when `useMachineId` and it is known, otherwise a random UUID.
    static Identity forNewDevice(bool useMachineId);

    Identity get() const;
    void set(Identity identity);

    // The user is now `distinctId`. Keeps the old id as the anonymous one when there was
    // none; with `usePeople` profile updates go to the new id from now on. Returns the id
    // it replaced, when it changed.
    std::optional<std::string> identify(const std::string& distinctId, bool usePeople);
    void setAlias(const std::string& alias);

private:
    mutable ReadWriteLock lock_;
    Identity identity_;
};

}  // namespace flintly::analytics
