#pragma once

#include "platform/Dialogs.h"

namespace flintly {

class DesktopUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
    // Asks the desktop's file manager to select the item; opens the folder where no
    // file manager answers on the session bus.
    void revealInFileManager(const QString& path) override;
    void beep() override;
};

}  // namespace flintly
