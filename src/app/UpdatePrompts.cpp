#include "app/UpdatePrompts.h"

#include "app/StartupDecision.h"
#include "app/Updater.h"
#include "platform/Dialogs.h"

namespace flintly {

void connectUpdatePrompts(Updater& updater, AlertPresenter& alerts, UrlOpener& opener)
{
    QObject::connect(&updater, &Updater::updateFound, &updater, [&alerts, &opener](const AppcastRelease& r) {
        Alert alert;
        alert.style = Alert::Style::Informational;
        alert.title = QStringLiteral("Flintly %1 is available").arg(r.version);
        alert.message = QStringLiteral("You have %1. Download the new version?").arg(runningVersion());
        alert.buttons = {QStringLiteral("Download"), QStringLiteral("Later")};
        alert.escapeButton = 1;
        if (alerts.present(alert) == 0)
            opener.openUrl(r.downloadUrl);
    });
    QObject::connect(&updater, &Updater::upToDate, &updater, [&alerts] {
        alerts.present({Alert::Style::Informational,
                        QStringLiteral("You’re up to date!"),
                        QStringLiteral("Flintly %1 is the newest version available.").arg(runningVersion()),
                        {}});
    });
    QObject::connect(&updater, &Updater::checkFailed, &updater, [&alerts](const QString& reason) {
        alerts.present({Alert::Style::Warning, QStringLiteral("Update check failed"), reason, {}});
    });
}

}  // namespace flintly
