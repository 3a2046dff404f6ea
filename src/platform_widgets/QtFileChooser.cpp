#include "platform_widgets/QtFileChooser.h"

#include <QFileDialog>

namespace flintly {

namespace {
// Shown non-modally so the note window keeps working; the dialog deletes itself.
void showDialog(QFileDialog* dialog, std::function<void(std::optional<QString>)> done)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty())
            done(files.first());
        else
            done(std::nullopt);
    });
    dialog->open();
    dialog->raise();
    dialog->activateWindow();
}
}  // namespace

void QtFileChooser::chooseFolder(const FolderRequest& request, std::function<void(std::optional<QString>)> done)
{
    auto* dialog = new QFileDialog(nullptr, QString(), request.startDirectory);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateDirectories);
    if (!request.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
    if (!request.message.isEmpty())
        dialog->setWindowTitle(request.message);
    showDialog(dialog, std::move(done));
}

void QtFileChooser::chooseFile(const FileRequest& request, std::function<void(std::optional<QString>)> done)
{
    auto* dialog = new QFileDialog(nullptr, QString(), request.startDirectory);
    dialog->setFileMode(QFileDialog::ExistingFile);
    if (!request.nameFilters.isEmpty())
        dialog->setNameFilters(request.nameFilters);
    showDialog(dialog, std::move(done));
}

}  // namespace flintly
