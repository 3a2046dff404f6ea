#include "platform/NotificationCenter.h"

namespace flintly {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = [] {
        qRegisterMetaType<flintly::Notification>();
        return new NotificationCenter;
    }();
    return *center;
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
    emit posted(Notification{name, object, userInfo});
}

QMetaObject::Connection NotificationCenter::observe(const QString& name, QObject* receiver,
                                                    std::function<void(const Notification&)> handler)
{
    return connect(this, &NotificationCenter::posted, receiver,
                   [name, handler = std::move(handler)](const Notification& n) {
                       if (n.name == name)
                           handler(n);
                   });
}

}  // namespace flintly
