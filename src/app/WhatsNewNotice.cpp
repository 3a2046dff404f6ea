#include "app/WhatsNewNotice.h"

#include "app/StartupDecision.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

namespace flintly {

bool showWhatsNewNotice(AlertPresenter& alerts, SettingsStore& settings, const std::function<bool()>& quitRequested)
{
    const QString version = runningVersion();
    Alert alert;
    alert.style = Alert::Style::Informational;
    alert.title = QStringLiteral("What’s New in Flintly ") + version;
    alert.message =
        QStringLiteral("• 초기 온보딩 플로우 개선\n• 업데이트 알림 버튼 추가\n• 전반적인 버그 수정 및 최적화");
    alert.buttons = {QStringLiteral("OK")};
    alerts.present(alert);
    if (quitRequested && quitRequested())
        return false;
    settings.setValue(settingskeys::lastSeenVersion, version);
    return true;
}

}  // namespace flintly
