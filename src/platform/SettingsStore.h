#pragma once

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>

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

    // Writes pending changes to disk now.
    void sync();

signals:
    void changed(const QString& key);

private:
    void reportGarbage(const QString& key, const char* expected, const QVariant& found) const;

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

}  // namespace flintly
