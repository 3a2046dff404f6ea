#include "platform/SettingsStore.h"

#include "platform/AppPaths.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace flintly {

namespace {
// Whether storing `value` would leave the file as it is. An INI file gives back the text
// of integers and booleans as strings, which is the text storing them would write.
bool holdsAlready(const QVariant& stored, const QVariant& value)
{
    if (!stored.isValid())
        return false;
    if (stored.metaType() == value.metaType())
        return stored == value;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return stored.metaType().id() == QMetaType::QString && stored.toString() == value.toString();
    default: return false;
    }
}
}  // namespace

SettingsStore::SettingsStore(const QString& filePath, QObject* parent) : QObject(parent)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    settings_ = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    if (settings_->status() == QSettings::FormatError)
        log("⚠️ Settings file is not readable as settings; starting empty:", filePath);
}

SettingsStore::~SettingsStore()
{
    std::lock_guard lock(mutex_);
    settings_->sync();
}

QString SettingsStore::standardFilePath() { return AppPaths::configDir() + QStringLiteral("/Flintly.conf"); }

SettingsStore& SettingsStore::standard()
{
    static SettingsStore* store = new SettingsStore(standardFilePath());
    return *store;
}

QString SettingsStore::filePath() const { return settings_->fileName(); }

bool SettingsStore::contains(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return settings_->contains(key);
}

QVariant SettingsStore::value(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return settings_->value(key);
}

void SettingsStore::setValue(const QString& key, const QVariant& value)
{
    {
        std::lock_guard lock(mutex_);
        // Writing the file again for a value it already holds costs a write and a sync
        // to disk; start-up stores several such values (the notes folder, its bookmark).
        if (!holdsAlready(settings_->value(key), value)) {
            settings_->setValue(key, value);
            // Settings are few and small; writing through keeps them across a crash.
            settings_->sync();
            if (settings_->status() == QSettings::AccessError)
                log("❌ Settings could not be written:", settings_->fileName());
        }
    }
    emit changed(key);
}

void SettingsStore::remove(const QString& key)
{
    {
        std::lock_guard lock(mutex_);
        if (!settings_->contains(key))
            return;
        settings_->remove(key);
        settings_->sync();
    }
    emit changed(key);
}

void SettingsStore::sync()
{
    std::lock_guard lock(mutex_);
    settings_->sync();
}

void SettingsStore::reportGarbage(const QString& key, const char* expected, const QVariant& found) const
{
    log("⚠️ Ignoring setting", key, "- expected", expected, "but found:", found.toString().left(80));
}

// INI files hold text; QSettings hands back strings for everything but its own
// @-encoded types, so each reader accepts the textual form and its native form.
std::optional<bool> SettingsStore::boolValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString s = v.toString().trimmed().toLower();
    if (s == u"true" || s == u"1")
        return true;
    if (s == u"false" || s == u"0")
        return false;
    reportGarbage(key, "a boolean", v);
    return std::nullopt;
}

std::optional<qint64> SettingsStore::intValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    if (ok)
        return n;
    reportGarbage(key, "an integer", v);
    return std::nullopt;
}

std::optional<double> SettingsStore::doubleValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (ok && std::isfinite(d))
        return d;
    reportGarbage(key, "a number", v);
    return std::nullopt;
}

std::optional<QString> SettingsStore::stringValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::QString || v.canConvert<QString>())
        return v.toString();
    reportGarbage(key, "a string", v);
    return std::nullopt;
}

std::optional<QByteArray> SettingsStore::bytesValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    reportGarbage(key, "bytes", v);
    return std::nullopt;
}

std::optional<QUrl> SettingsStore::fileUrlValue(const QString& key) const
{
    const auto s = stringValue(key);
    if (!s)
        return std::nullopt;
    const QUrl url(*s, QUrl::StrictMode);
    if (url.isValid() && url.isLocalFile() && QDir::isAbsolutePath(url.toLocalFile()))
        return url;
    reportGarbage(key, "a file URL", *s);
    return std::nullopt;
}

QList<QByteArray> SettingsStore::bytesListValue(const QString& key) const
{
    QList<QByteArray> out;
    const QVariant v = value(key);
    if (!v.isValid())
        return out;
    if (v.typeId() != QMetaType::QVariantList && v.typeId() != QMetaType::QStringList) {
        reportGarbage(key, "a list", v);
        return out;
    }
    for (const QVariant& item : v.toList()) {
        if (item.typeId() == QMetaType::QByteArray)
            out.append(item.toByteArray());
        else
            reportGarbage(key, "bytes in the list", item);
    }
    return out;
}

QStringList SettingsStore::stringListValue(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return {};
    if (v.typeId() == QMetaType::QString)
        return {v.toString()};
    if (v.typeId() == QMetaType::QStringList || v.typeId() == QMetaType::QVariantList)
        return v.toStringList();
    reportGarbage(key, "a list of strings", v);
    return {};
}

void SettingsStore::setFileUrl(const QString& key, const QUrl& url) { setValue(key, url.toString(QUrl::FullyEncoded)); }

}  // namespace flintly
