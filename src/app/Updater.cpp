#include "app/Updater.h"

#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QPointer>
#include <QXmlStreamReader>

#include "core/CurlLibrary.h"

namespace flintly {

int compareVersions(const QString& a, const QString& b)
{
    const QStringList pa = a.split(QLatin1Char('.')), pb = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const int x = i < pa.size() ? pa[i].toInt() : 0;
        const int y = i < pb.size() ? pb[i].toInt() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

std::optional<AppcastRelease> newestRelease(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    std::optional<AppcastRelease> best;
    AppcastRelease current;
    bool inItem = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == u"item") {
                inItem = true;
                current = {};
            } else if (inItem && name == u"enclosure") {
                const auto attrs = reader.attributes();
                current.downloadUrl = QUrl(attrs.value(QStringLiteral("url")).toString());
                for (const auto& attr : attrs)
                    if (attr.name() == u"shortVersionString" && current.version.isEmpty())
                        current.version = attr.value().toString();
                if (current.version.isEmpty())
                    for (const auto& attr : attrs)
                        if (attr.name() == u"version")
                            current.version = attr.value().toString();
            } else if (inItem && name == u"shortVersionString") {
                current.version = reader.readElementText().trimmed();
            } else if (inItem && name == u"link" && current.downloadUrl.isEmpty()) {
                current.downloadUrl = QUrl(reader.readElementText().trimmed());
            }
        } else if (reader.isEndElement() && reader.name() == u"item") {
            inItem = false;
            const bool usable = !current.version.isEmpty() && current.downloadUrl.isValid()
                && (current.downloadUrl.scheme() == u"https" || current.downloadUrl.scheme() == u"http");
            if (usable && (!best || compareVersions(current.version, best->version) > 0))
                best = current;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return best;
}

namespace {
size_t collect(char* data, size_t size, size_t count, void* out)
{
    auto* buffer = static_cast<QByteArray*>(out);
    // A feed is a few kilobytes; refuse anything absurd instead of filling memory.
    if (buffer->size() + qsizetype(size * count) > 4 * 1024 * 1024)
        return 0;
    buffer->append(data, static_cast<qsizetype>(size * count));
    return size * count;
}

int abortWhenCancelled(void* cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<std::atomic<bool>*>(cancelled)->load() ? 1 : 0;
}
}  // namespace

Updater::Updater(QString feedUrl, QString runningVersion, QObject* parent)
    : QObject(parent), feedUrl_(std::move(feedUrl)), runningVersion_(std::move(runningVersion))
{
    qRegisterMetaType<flintly::AppcastRelease>();
}

Updater::~Updater()
{
    cancelled_->store(true);
    if (worker_.joinable())
        worker_.join();
}

bool Updater::canCheckForUpdates() const { return !feedUrl_.isEmpty() && !checking_; }

QString Updater::description() const
{
    return QStringLiteral("Updater(feed: %1, version: %2)")
        .arg(feedUrl_.isEmpty() ? QStringLiteral("nil") : feedUrl_, runningVersion_);
}

void Updater::checkForUpdatesInBackground() { check(false); }

void Updater::checkForUpdates() { check(true); }

void Updater::check(bool userInitiated)
{
    if (feedUrl_.isEmpty()) {
        if (userInitiated)
            emit checkFailed(QStringLiteral("No update feed is configured for this build."));
        return;
    }
    if (checking_.exchange(true))
        return;
    if (worker_.joinable())
        worker_.join();
    QPointer<Updater> self(this);
    const QByteArray url = feedUrl_.toUtf8();
    const QString running = runningVersion_;
    worker_ = std::thread([self, url, running, userInitiated, cancelled = cancelled_] {
        QByteArray body;
        const CurlLibrary* lib = CurlLibrary::get();
        CURL* curl = lib ? lib->easy_init() : nullptr;
        CURLcode code = CURLE_FAILED_INIT;
        long status = 0;
        if (curl) {
            lib->easy_setopt(curl, CURLOPT_URL, url.constData());
            lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
            lib->easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
            lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
            lib->easy_setopt(curl, CURLOPT_WRITEDATA, &body);
            lib->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
            lib->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
            lib->easy_setopt(curl, CURLOPT_XFERINFODATA, cancelled.get());
            code = lib->easy_perform(curl);
            lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            lib->easy_cleanup(curl);
        }
        const QString error = !lib ? QString::fromStdString(CurlLibrary::loadError())
            : code != CURLE_OK     ? QString::fromUtf8(lib->easy_strerror(code))
                                   : (status >= 400 ? QStringLiteral("HTTP %1").arg(status) : QString());
        const auto release = error.isEmpty() ? newestRelease(body) : std::nullopt;
        runOnMainThread([self, error, release, running, userInitiated] {
            if (!self)
                return;
            self->checking_ = false;
            if (!error.isEmpty() || !release) {
                const QString reason = error.isEmpty() ? QStringLiteral("the update feed could not be read") : error;
                log("🔴 Update check failed:", reason);
                if (userInitiated)
                    emit self->checkFailed(reason);
            } else if (compareVersions(release->version, running) > 0) {
                emit self->updateFound(*release);
            } else if (userInitiated) {
                emit self->upToDate();
            }
        });
    });
}

}  // namespace flintly
