#include "desktop/AutostartEntry.h"

#include "desktop/LaunchCommand.h"
#include "platform/AppInfo.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace flintly::desktop {

AutostartEntry::AutostartEntry(QStringList command, QString filePath)
    : command_(std::move(command)), filePath_(std::move(filePath))
{}

QString AutostartEntry::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + QString::fromUtf16(AppInfo::appId) + QStringLiteral(".desktop");
}

QStringList AutostartEntry::defaultCommand() { return LaunchCommand::forThisExecutable({QStringLiteral("--hidden")}); }

bool AutostartEntry::isEnabled() const
{
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Only the main group counts; an action's group may say anything.
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

QByteArray AutostartEntry::contents() const
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Flintly\n"
           "Comment=Keeps the Flintly note one keystroke away\n"
           "Exec="
        + LaunchCommand::desktopEntryExec(command_).toUtf8()
        + "\n"
          "Icon="
        + QString::fromUtf16(AppInfo::appId).toUtf8()
        + "\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEntry::setEnabled(bool enabled, QString* error)
{
    QString failure;
    if (enabled) {
        QDir().mkpath(QFileInfo(filePath_).absolutePath());
        QSaveFile file(filePath_);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents()) < 0 || !file.commit())
            failure = file.errorString();
    } else if (QFileInfo::exists(filePath_) || QFileInfo(filePath_).isSymLink()) {
        QFile file(filePath_);
        if (!file.remove())
            failure = file.errorString();
    }
    if (failure.isEmpty()) {
        log(enabled ? "🚀 Flintly opens at login:" : "🚀 Flintly no longer opens at login:", filePath_);
        return true;
    }
    log("🚨 Could not change opening at login:", filePath_, failure);
    if (error)
        *error = failure;
    return false;
}

}  // namespace flintly::desktop
