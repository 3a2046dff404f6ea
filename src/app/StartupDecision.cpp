#include "app/StartupDecision.h"

#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

namespace flintly {

StartupOutcome decideStartup(const SettingsStore& settings, const QString& version)
{
    if (!settings.boolValue(QStringLiteral("flintlyHasOnboarded")).value_or(false))
        return StartupOutcome::onboarding;
    if (!settings.fileUrlValue(QStringLiteral("flintlySaveFolder")))
        return StartupOutcome::onboarding;
    const auto lastSeen = settings.stringValue(QStringLiteral("flintlyLastSeenVersion"));
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
