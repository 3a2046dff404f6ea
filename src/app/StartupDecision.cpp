#include "app/StartupDecision.h"

#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

namespace flintly {

StartupOutcome decideStartup(const SettingsStore& settings, const QString& version)
{
    if (!settings.get(settingskeys::hasOnboarded))
        return StartupOutcome::onboarding;
    if (!settings.fileUrlValue(settingskeys::saveFolder))
        return StartupOutcome::onboarding;
    const auto lastSeen = settings.stringValue(settingskeys::lastSeenVersion);
    if (!lastSeen || *lastSeen != version)
        return StartupOutcome::whatsNew;
    return StartupOutcome::normal;
}

QString runningVersion()
{
    const QString v = AppInfo::shortVersion();
    return v.isEmpty() ? QStringLiteral("0") : v;
}

}  // namespace flintly
