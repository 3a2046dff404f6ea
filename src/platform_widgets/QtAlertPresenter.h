#pragma once

#include "platform/Dialogs.h"

namespace flintly {

class QtAlertPresenter final : public AlertPresenter {
public:
    int present(const Alert& alert) override;
};

}  // namespace flintly
