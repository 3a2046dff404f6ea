#include "app/QuickGuide.h"

#include "document/MarkdownModel.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace flintly {

namespace {
QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

void placeQuickGuide(MarkdownModel& model, SettingsStore& settings, const QString& notesFolder,
                     const QString& bundledGuidePath)
{
    const QString destination = QDir(notesFolder).filePath(kQuickGuideFileName);
    const bool haveBundle = QFileInfo::exists(bundledGuidePath);
    bool keptUsersFile = false;
    if (QFileInfo::exists(destination)) {
        if (haveBundle && contentsOf(destination) != contentsOf(bundledGuidePath)) {
            // Replacing it would throw away what the user wrote in it.
            log("📘 Keeping the quick guide in the notes folder; it was edited:", destination);
            keptUsersFile = true;
        } else {
            QFile::remove(destination);
        }
    }
    if (!keptUsersFile) {
        if (haveBundle)
            QFile::copy(bundledGuidePath, destination);
        try {
            model.loadNote(QUrl::fromLocalFile(destination));
            model.setIsScratch(false);
        } catch (const std::exception&) {}
    }
    settings.setValue(settingskeys::didInsertQuickGuide, true);
}

}  // namespace flintly
