#pragma once

namespace flintly {

// What the editor asks of the app's updater when the page requests an update. The app
// owns the real one; until it sets it on the bridge the request is only logged.
class UpdateController {
public:
    virtual ~UpdateController() = default;
    virtual void checkForUpdates() = 0;
};

}  // namespace flintly
