#pragma once

#include "platform/Dialogs.h"

namespace flintly {

class QtFileChooser final : public FileChooser {
public:
    void chooseFolder(const FolderRequest& request, std::function<void(std::optional<QString>)> done) override;
    void chooseFile(const FileRequest& request, std::function<void(std::optional<QString>)> done) override;
};

}  // namespace flintly
