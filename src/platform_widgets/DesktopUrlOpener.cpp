#include "platform_widgets/DesktopUrlOpener.h"

#include "platform/Log.h"
#include "platform/TimeSource.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

#include <memory>

namespace flintly {

DesktopUrlOpener::DesktopUrlOpener() : DesktopUrlOpener(Options{}) {}

DesktopUrlOpener::DesktopUrlOpener(Options options) : options_(std::move(options))
{
    if (!options_.time)
        options_.time = &TimeSource::system();
    if (!options_.open)
        options_.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool DesktopUrlOpener::openUrl(const QUrl& url) { return options_.open(url); }

void DesktopUrlOpener::revealInFileManager(const QString& path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();

    // Whichever comes first, the answer or the time limit, settles the request; the
    // other then does nothing, so the folder never opens beside a file manager that did
    // show the item.
    auto settled = std::make_shared<bool>(false);
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    auto openFolder = [this, settled, folder](const QString& why) {
        if (std::exchange(*settled, true))
            return;
        log("📂 No file manager showed the item (" + why + "); opening its folder:", folder.toLocalFile());
        options_.open(folder);
    };
    auto* pending = new QDBusPendingCallWatcher(options_.bus.asyncCall(call), &context_);
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, &context_,
                     [settled, openFolder](QDBusPendingCallWatcher* watcher) {
                         watcher->deleteLater();
                         const QDBusPendingReply<> reply = *watcher;
                         if (reply.isError())
                             openFolder(reply.error().name());
                         else
                             *settled = true;
                     });
    options_.time->runAfter(kRevealAnswerMs, &context_, [openFolder] { openFolder(QStringLiteral("no answer")); });
}

void DesktopUrlOpener::beep() { QApplication::beep(); }

}  // namespace flintly
