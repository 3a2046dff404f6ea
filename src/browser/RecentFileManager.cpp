#include "browser/RecentFileManager.h"

#include "platform/SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace flintly {

namespace {
// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, the stored dates' origin.
constexpr double kReferenceEpoch = 978307200.0;

// The record's fields in their declared order (a QJsonObject would sort the keys).
QByteArray jsonString(const QString& s)
{
    const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}
}  // namespace

RecentFileManager::RecentFileManager(SettingsStore& settings, Clock clock, QObject* parent)
    : QObject(parent), settings_(settings), clock_(std::move(clock))
{
    if (!clock_)
        clock_ = [] { return QDateTime::currentDateTimeUtc(); };
    load();
}

RecentFileManager& RecentFileManager::shared()
{
    static auto* manager = new RecentFileManager(SettingsStore::standard());
    return *manager;
}

QByteArray RecentFileManager::encode(const QList<RecentFile>& files)
{
    QByteArray out = "[";
    for (qsizetype i = 0; i < files.size(); ++i) {
        const RecentFile& f = files[i];
        const double seconds = static_cast<double>(f.openedAt.toMSecsSinceEpoch()) / 1000.0 - kReferenceEpoch;
        if (i > 0)
            out += ',';
        out += "{\"url\":" + jsonString(f.url.toString(QUrl::FullyEncoded))
            + ",\"bookmark\":" + jsonString(QString::fromLatin1(f.bookmark.toBase64()))
            + ",\"openedAt\":" + QByteArray::number(seconds, 'g', QLocale::FloatingPointShortest) + '}';
    }
    return out + ']';
}

std::optional<QList<RecentFile>> RecentFileManager::decode(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<RecentFile> out;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QJsonValue url = o.value(QStringLiteral("url"));
        const QJsonValue bookmark = o.value(QStringLiteral("bookmark"));
        const QJsonValue openedAt = o.value(QStringLiteral("openedAt"));
        if (!v.isObject() || !url.isString() || !bookmark.isString() || !openedAt.isDouble())
            return std::nullopt;
        RecentFile f;
        f.url = QUrl(url.toString(), QUrl::StrictMode);
        if (!f.url.isValid() || f.url.isEmpty())
            return std::nullopt;
        const auto decoded =
            QByteArray::fromBase64Encoding(bookmark.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        f.bookmark = *decoded;
        f.openedAt =
            QDateTime::fromMSecsSinceEpoch(qRound64((openedAt.toDouble() + kReferenceEpoch) * 1000.0), Qt::UTC);
        out.append(f);
    }
    return out;
}

void RecentFileManager::load()
{
    const auto bytes = settings_.bytesValue(settingskeys::flintlyRecentFiles);
    if (!bytes)
        return;
    if (auto decoded = decode(*bytes)) {
        files_ = std::move(*decoded);
        emit filesChanged();
    }
}

void RecentFileManager::addRecent(const QUrl& url, const QByteArray& bookmark)
{
    files_.removeIf([&](const RecentFile& f) { return f.url == url; });
    files_.prepend({url, bookmark, clock_()});
    while (files_.size() > kLimit)
        files_.removeLast();
    save();
    emit filesChanged();
}

void RecentFileManager::save() { settings_.setValue(settingskeys::flintlyRecentFiles, encode(files_)); }

}  // namespace flintly
