#pragma once

#include <functional>

namespace flintly {

class AlertPresenter;
class SettingsStore;

// The once-per-version alert after an update. Returns when it was dismissed; only then
// is the version recorded, so quitting with the alert open shows it again next time.
// `quitRequested` tells a dismissal from the app quitting under the alert; returns
// false for the latter.
bool showWhatsNewNotice(AlertPresenter& alerts, SettingsStore& settings, const std::function<bool()>& quitRequested);

}  // namespace flintly
