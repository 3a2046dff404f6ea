#include "app/InstanceRequest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <utility>

namespace flintly {

namespace {
using Kind = InstanceRequest::Kind;

constexpr std::array<std::pair<Kind, QStringView>, 5> kKinds = {{
    {Kind::show, u"show"},
    {Kind::toggle, u"toggle"},
    {Kind::open, u"open"},
    {Kind::append, u"append"},
    {Kind::hidden, u"hidden"},
}};

std::optional<Kind> kindNamed(QStringView name)
{
    for (const auto& [kind, n] : kKinds)
        if (n == name)
            return kind;
    return std::nullopt;
}

QString nameOf(Kind kind)
{
    for (const auto& [k, n] : kKinds)
        if (k == kind)
            return n.toString();
    return {};
}
}  // namespace

QByteArray InstanceRequest::encode() const
{
    // The bare words an older Flintly understands too, where they say everything.
    if ((kind == Kind::show || kind == Kind::toggle) && argument.isEmpty() && activationToken.isEmpty())
        return nameOf(kind).toUtf8() + '\n';
    QJsonObject o{{QStringLiteral("request"), nameOf(kind)}};
    if (!argument.isEmpty())
        o.insert(QStringLiteral("argument"), argument);
    if (!activationToken.isEmpty())
        o.insert(QStringLiteral("activationToken"), activationToken);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<InstanceRequest> InstanceRequest::decode(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    InstanceRequest r;
    if (!trimmed.startsWith('{')) {
        const auto kind = kindNamed(QString::fromUtf8(trimmed));
        if (!kind || *kind == Kind::open || *kind == Kind::append)
            return std::nullopt;
        r.kind = *kind;
        return r;
    }
    const QJsonObject o = QJsonDocument::fromJson(trimmed).object();
    const auto kind = kindNamed(o.value(QStringLiteral("request")).toString());
    if (!kind)
        return std::nullopt;
    r.kind = *kind;
    r.argument = o.value(QStringLiteral("argument")).toString();
    r.activationToken = o.value(QStringLiteral("activationToken")).toString();
    if ((r.kind == Kind::open || r.kind == Kind::append) && r.argument.isEmpty())
        return std::nullopt;
    return r;
}

QByteArray InstanceAnswer::encode() const
{
    QJsonObject o{{QStringLiteral("ok"), ok}};
    if (!ok)
        o.insert(QStringLiteral("error"), error);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<InstanceAnswer> InstanceAnswer::decode(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "ok") {
        InstanceAnswer read;
        read.carriedOut = false;
        return read;
    }
    const QJsonObject o = QJsonDocument::fromJson(trimmed).object();
    if (!o.value(QStringLiteral("ok")).isBool())
        return std::nullopt;
    InstanceAnswer a;
    a.ok = o.value(QStringLiteral("ok")).toBool();
    a.error = o.value(QStringLiteral("error")).toString();
    return a;
}

}  // namespace flintly
