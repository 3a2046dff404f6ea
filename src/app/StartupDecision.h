#pragma once

#include <QString>

namespace flintly {

class SettingsStore;

enum class StartupOutcome { onboarding, whatsNew, normal };

// Onboarding until the user finished it and a notes folder is stored; then the
// what's-new notice once per version (any other stored version, even a newer one after
// a downgrade, shows it); else a normal start.
StartupOutcome decideStartup(const SettingsStore& settings, const QString& runningVersion);

QString runningVersion();  // "0" when the build carries none

}  // namespace flintly
