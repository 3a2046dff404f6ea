#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

namespace flintly {

class SettingsStore;

struct RecentFile {
    QUrl url;
    QByteArray bookmark;
    QDateTime openedAt;

    friend bool operator==(const RecentFile&, const RecentFile&) = default;
};

// The note files opened through the open-file command, newest first, at most five,
// each with a bookmark to reach it again. Stored under "FlintlyRecentFiles" as one
// blob of JSON: [{"url": absolute URL, "bookmark": Base64, "openedAt": seconds since
// 2001-01-01 UTC}].
class RecentFileManager : public QObject {
    Q_OBJECT
public:
    static constexpr int kLimit = 5;
    using Clock = std::function<QDateTime()>;

    explicit RecentFileManager(SettingsStore& settings, Clock clock = {}, QObject* parent = nullptr);

    // On the standard settings store, created on first use.
    static RecentFileManager& shared();

    const QList<RecentFile>& files() const { return files_; }

    void load();
    void addRecent(const QUrl& url, const QByteArray& bookmark);
    void save();

    static QByteArray encode(const QList<RecentFile>& files);
    // Nothing when the bytes are not exactly a JSON array of such records.
    static std::optional<QList<RecentFile>> decode(const QByteArray& bytes);

signals:
    void filesChanged();

private:
    SettingsStore& settings_;
    Clock clock_;
    QList<RecentFile> files_;
};

}  // namespace flintly
