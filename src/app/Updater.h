#pragma once

#include "editor/UpdateController.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace flintly {

struct AppcastRelease {
    QString version;  // the version people read ("1.4.2")
    QUrl downloadUrl;
};

// The newest release an appcast feed lists, or nothing for a feed we cannot read.
std::optional<AppcastRelease> newestRelease(const QByteArray& appcastXml);
// Compares dotted versions numerically ("1.10" is newer than "1.9").
int compareVersions(const QString& a, const QString& b);

// Looks for a newer Flintly in the appcast feed named at build time (FLINTLY_FEED_URL).
// With no feed configured it never makes a request. A newer version is announced with
// `updateFound`; installing it is left to the user (the download link is opened).
class Updater : public QObject, public UpdateController {
    Q_OBJECT
public:
    Updater(QString feedUrl, QString runningVersion, QObject* parent = nullptr);
    ~Updater() override;

    bool canCheckForUpdates() const;
    bool automaticallyChecksForUpdates() const { return !feedUrl_.isEmpty(); }
    void checkForUpdatesInBackground();
    // A check the user asked for: also reports "up to date" and failures.
    void checkForUpdates() override;
    QString description() const;

signals:
    void updateFound(const flintly::AppcastRelease& release);
    void upToDate();
    void checkFailed(const QString& reason);

private:
    void check(bool userInitiated);

    const QString feedUrl_;
    const QString runningVersion_;
    std::atomic<bool> checking_{false};
    // Set when the updater goes away, so a check stuck on a silent server ends at once
    // instead of holding up quitting.
    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
    std::thread worker_;
};

}  // namespace flintly

Q_DECLARE_METATYPE(flintly::AppcastRelease)
