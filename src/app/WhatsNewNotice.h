#pragma once

namespace flintly {

class AlertPresenter;
class SettingsStore;

// The once-per-version alert after an update. Returns when it was dismissed; only then
// is the version recorded, so quitting with the alert open shows it again next time.
void showWhatsNewNotice(AlertPresenter& alerts, SettingsStore& settings);

}  // namespace flintly
