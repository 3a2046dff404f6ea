#include "StandInPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUuid>

namespace flintly::test {
namespace {
struct Entry {
    QString id;
    QVariantMap properties;
};
}  // namespace
}  // namespace flintly::test

Q_DECLARE_METATYPE(flintly::test::Entry)

namespace flintly::test {
namespace {

QDBusArgument& operator<<(QDBusArgument& a, const Entry& e)
{
    a.beginStructure();
    a << e.id << e.properties;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, Entry& e)
{
    a.beginStructure();
    a >> e.id >> e.properties;
    a.endStructure();
    return a;
}

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

QVariantMap vardict(const QVariant& v)
{
    return v.userType() == qMetaTypeId<QDBusArgument>() ? qdbus_cast<QVariantMap>(v.value<QDBusArgument>()) : v.toMap();
}

void readShortcuts(const QVariant& v, StandInPortal::Call& call)
{
    QVariant value = v;
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return;
    for (const Entry& e : qdbus_cast<QList<Entry>>(value.value<QDBusArgument>())) {
        call.shortcutIds << e.id;
        call.preferredTriggers << e.properties.value(QStringLiteral("preferred_trigger")).toString();
    }
}

}  // namespace

PrivateBus::PrivateBus()
{
    // The session configuration without its service folders: the real portal, now that
    // the desktop packages are installed, would otherwise be started by the first call.
    if (!config_.open())
        return;
    config_.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    config_.flush();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config_.fileName(), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000))
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    daemon_.kill();
    daemon_.waitForFinished(3000);
}

QDBusConnection PrivateBus::connect(const QString& name) const { return QDBusConnection::connectToBus(address_, name); }

StandInPortal::StandInPortal(const PrivateBus& bus)
    : name_(QStringLiteral("stand-in-portal-") + QUuid::createUuid().toString(QUuid::Id128)), bus_(bus.connect(name_))
{
    qDBusRegisterMetaType<Entry>();
    qDBusRegisterMetaType<QList<Entry>>();
    grant = [](const QString&, const QString& preferred) {
        return preferred == QLatin1String("CTRL+j") ? QStringLiteral("Ctrl+J") : preferred;
    };
    bus_.registerVirtualObject(kPortalPath, this, QDBusConnection::SubPath);
    bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

StandInPortal::~StandInPortal()
{
    bus_.unregisterObject(kPortalPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(name_);
}

QStringList StandInPortal::members() const
{
    QStringList names;
    for (const Call& c : calls)
        names << c.member;
    return names;
}

QString StandInPortal::requestPath(const QDBusMessage& call, const QVariantMap& options) const
{
    QString sender = call.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/')
        + options.value(QStringLiteral("handle_token")).toString();
}

QVariant StandInPortal::grantedList(const Call& call) const
{
    QList<Entry> list;
    for (qsizetype i = 0; i < call.shortcutIds.size(); ++i) {
        const QString trigger = grant(call.shortcutIds[i], call.preferredTriggers[i]);
        if (!trigger.isEmpty())
            list.append({call.shortcutIds[i], {{QStringLiteral("trigger_description"), trigger}}});
    }
    return QVariant::fromValue(list);
}

void StandInPortal::respond(const QDBusMessage& call, const QString& requestPath, uint code, const QVariantMap& results)
{
    QDBusMessage response = QDBusMessage::createTargetedSignal(
        call.service(), requestPath, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    response << code << results;
    bus_.send(response);
    bus_.send(call.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
}

bool StandInPortal::handleMessage(const QDBusMessage& message, const QDBusConnection&)
{
    Call call;
    call.member = message.member();
    const QList<QVariant> args = message.arguments();
    const QString interface = message.interface();
    calls.append(call);
    Call& recorded = calls.last();

    if (interface == QLatin1String("org.freedesktop.host.portal.Registry") && hasRegistry) {
        bus_.send(message.createReply());
    } else if (interface == QLatin1String("org.freedesktop.DBus.Properties") && call.member == u"Get") {
        recorded.member = QStringLiteral("Get ") + args.value(1).toString();
        bus_.send(message.createReply(QVariant::fromValue(QDBusVariant(version))));
    } else if (interface == QLatin1String("org.freedesktop.portal.Session") && call.member == u"Close") {
        recorded.session = message.path();
        if (message.path() == session_)
            session_.clear();
        bus_.send(message.createReply());
    } else if (interface == QLatin1String("org.freedesktop.portal.GlobalShortcuts")
               && call.member == u"CreateSession") {
        recorded.options = vardict(args.value(0));
        readShortcuts(recorded.options.value(QStringLiteral("shortcuts")), recorded);
        const QString path = requestPath(message, recorded.options);
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        QVariantMap results;
        if (createResponse == 0) {
            session_ = kPortalPath + QStringLiteral("/session/") + sender + QLatin1Char('/')
                + recorded.options.value(QStringLiteral("session_handle_token")).toString();
            results.insert(QStringLiteral("session_handle"),
                           sessionHandleAsPath ? QVariant::fromValue(QDBusObjectPath(session_)) : QVariant(session_));
            if (bindsInCreateSession)
                results.insert(QStringLiteral("shortcuts"), grantedList(recorded));
        }
        respond(message, path, createResponse, results);
    } else if (interface == QLatin1String("org.freedesktop.portal.GlobalShortcuts")
               && call.member == u"BindShortcuts") {
        recorded.session = args.value(0).value<QDBusObjectPath>().path();
        readShortcuts(args.value(1), recorded);
        recorded.options = vardict(args.value(3));
        QVariantMap results;
        // What Plasma 5.27 does: an empty answer, and System Settings asked to open.
        if (bindResponse == 0)
            results.insert(QStringLiteral("shortcuts"),
                           bindsInCreateSession ? QVariant::fromValue(QList<Entry>()) : grantedList(recorded));
        respond(message, requestPath(message, recorded.options), bindResponse, results);
    } else if (interface == QLatin1String("org.freedesktop.portal.GlobalShortcuts")
               && call.member == u"ConfigureShortcuts" && version >= 2) {
        recorded.session = args.value(0).value<QDBusObjectPath>().path();
        bus_.send(message.createReply());
    } else {
        bus_.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                           QStringLiteral("No such method %1.%2").arg(interface, call.member)));
    }
    return true;
}

void StandInPortal::activate(const QString& id, const QString& session, const QString& token)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
    QVariantMap options;
    if (!token.isEmpty())
        options.insert(QStringLiteral("activation_token"), token);
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << options;
    bus_.send(signal);
}

void StandInPortal::deactivate(const QString& id, const QString& session)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Deactivated"));
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
    bus_.send(signal);
}

}  // namespace flintly::test

namespace flintly::test {

void StandInPortal::changeShortcut(const QString& id, const QString& triggerDescription)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("ShortcutsChanged"));
    const QList<Entry> list{{id, {{QStringLiteral("trigger_description"), triggerDescription}}}};
    signal << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(list);
    bus_.send(signal);
}

}  // namespace flintly::test
