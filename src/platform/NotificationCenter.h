#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

namespace flintly {

struct Notification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// Process-wide broadcast by string name, for the few events that cross modules
// without either side knowing the other ("flintlyDidPickFolder", the shortcut module's
// notifications). Observers on the posting thread are called before post() returns;
// observers living on other threads get the notification queued to their thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});
    // The observation ends when `receiver` is destroyed or the connection is broken.
    QMetaObject::Connection observe(const QString& name, QObject* receiver,
                                    std::function<void(const Notification&)> handler);

signals:
    void posted(const flintly::Notification& notification);
};

}  // namespace flintly

Q_DECLARE_METATYPE(flintly::Notification)
