#pragma once

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QUrl>
#include <QVariant>

#include "platform/SettingsKeys.h"

#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace flintly {

// The app's persistent key-value store: an INI file, keys in its [General] section.
// Typed reads never trust the file: a value another program (or an older version)
// wrote in the wrong shape is reported once in the log and read as absent, so garbage
// in the file can never take the app down or be mistaken for a real choice.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    explicit SettingsStore(const QString& filePath, QObject* parent = nullptr);
    ~SettingsStore() override;

    // $XDG_CONFIG_HOME/Flintly/Flintly.conf, created on first use.
    static SettingsStore& standard();
    static QString standardFilePath();

    QString filePath() const;

    bool contains(const QString& key) const;
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> intValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QByteArray> bytesValue(const QString& key) const;
    // URLs are stored as absolute file:// URL strings; anything else reads as absent.
    std::optional<QUrl> fileUrlValue(const QString& key) const;
    QList<QByteArray> bytesListValue(const QString& key) const;
    QStringList stringListValue(const QString& key) const;

    void setFileUrl(const QString& key, const QUrl& url);

    // Reads and writes through the key table (platform/SettingsKeys.h), in the key's type.
    template <typename T> std::optional<T> find(const SettingKey<T>& key) const;
    template <typename T> T get(const SettingKey<T>& key) const { return find(key).value_or(key.fallback); }
    template <typename T> void set(const SettingKey<T>& key, const T& value);

    // Writes pending changes to disk now.
    void sync();

signals:
    void changed(const QString& key);

private:
    void reportGarbage(const QString& key, const char* expected, const QVariant& found) const;

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

template <typename T> std::optional<T> SettingsStore::find(const SettingKey<T>& key) const
{
    if constexpr (std::is_same_v<T, bool>)
        return boolValue(key);
    else if constexpr (std::is_same_v<T, qint64>)
        return intValue(key);
    else if constexpr (std::is_same_v<T, double>)
        return doubleValue(key);
    else if constexpr (std::is_same_v<T, QString>)
        return stringValue(key);
    else if constexpr (std::is_same_v<T, QByteArray>)
        return bytesValue(key);
    else if constexpr (std::is_same_v<T, QUrl>)
        return fileUrlValue(key);
    else if constexpr (std::is_same_v<T, QList<QByteArray>>)
        return contains(key) ? std::optional(bytesListValue(key)) : std::nullopt;
    else {
        static_assert(std::is_same_v<T, QStringList>, "a settings key of a type the store cannot read");
        return contains(key) ? std::optional(stringListValue(key)) : std::nullopt;
    }
}

template <typename T> void SettingsStore::set(const SettingKey<T>& key, const T& value)
{
    if constexpr (std::is_same_v<T, QUrl>)
        setFileUrl(key, value);
    else if constexpr (std::is_same_v<T, QList<QByteArray>>)
        setValue(key, QVariantList(value.cbegin(), value.cend()));  // stored as a plain list
    else
        setValue(key, QVariant::fromValue(value));
}

}  // namespace flintly
