#include "shortcuts/PortalWire.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace flintly::shortcuts {

namespace {

// One element of a(sa{sv}), the portal's list of shortcuts.
struct DBusShortcut {
    QString id;
    QVariantMap properties;
};

}  // namespace
}  // namespace flintly::shortcuts

Q_DECLARE_METATYPE(flintly::shortcuts::DBusShortcut)

namespace flintly::shortcuts {

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const DBusShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace

void registerPortalWireTypes()
{
    qDBusRegisterMetaType<DBusShortcut>();
    qDBusRegisterMetaType<QList<DBusShortcut>>();
}

QVariant shortcutList(const QList<PortalShortcut>& shortcuts)
{
    QList<DBusShortcut> list;
    for (const PortalShortcut& s : shortcuts) {
        QVariantMap properties{{QStringLiteral("description"), s.description}};
        if (!s.preferredTrigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), s.preferredTrigger);
        list.append({s.id, properties});
    }
    return QVariant::fromValue(list);
}

std::optional<QList<PortalShortcut>> parseShortcuts(const QVariant& value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})"))
        return std::nullopt;
    QList<PortalShortcut> shortcuts;
    for (const DBusShortcut& s : qdbus_cast<QList<DBusShortcut>>(argument))
        shortcuts.append({s.id,
                          s.properties.value(QStringLiteral("description")).toString(),
                          {},
                          s.properties.value(QStringLiteral("trigger_description")).toString()});
    return shortcuts;
}

QString pathText(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return pathText(value.value<QDBusVariant>().variant());
    return value.toString();
}

QVariantMap vardict(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

}  // namespace flintly::shortcuts
