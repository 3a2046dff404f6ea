#include "editor/ScriptMessageEndpoint.h"

#include <QJsonObject>
#include <QPointer>

namespace flintly {

ScriptMessageEndpoint::ScriptMessageEndpoint(Receiver receiver, QObject* parent)
    : ScriptMessageEndpoint(std::move(receiver), {}, {}, {}, parent)
{}

ScriptMessageEndpoint::ScriptMessageEndpoint(Receiver receiver, TextReceiver text, Evaluator evaluate, SentText sent,
                                             QObject* parent)
    : QObject(parent), receiver_(std::move(receiver)), text_(std::move(text)), evaluate_(std::move(evaluate)),
      sent_(std::move(sent))
{}

namespace {

bool isTextReport(const QString& name)
{
    return name == QLatin1String("didChange") || name == QLatin1String("saveNote");
}

quint64 asId(const QJsonValue& v) { return static_cast<quint64>(v.toDouble()); }

}  // namespace

bool ScriptMessageEndpoint::post(const QString& name, const QJsonValue& body)
{
    const quint64 seq = nextSeq_++;
    Message& message = queue_[seq];
    message.name = name;
    const QJsonObject object = body.toObject();
    if (body.isString()) {
        QString marked = body.toString();
        const qsizetype cut = marked.indexOf(QLatin1Char('='));
        if (cut < 0) {
            message.dropped = true;  // not from the shim
        } else {
            const QStringView marker = QStringView(marked).left(cut);
            const qsizetype colon = marker.indexOf(QLatin1Char(':'));
            message.generation = (colon < 0 ? marker : marker.left(colon)).toULongLong();
            message.report = colon < 0 ? 0 : marker.mid(colon + 1).toULongLong();
            message.text = marked.remove(0, cut + 1);
            message.isText = true;
        }
    } else if (const QJsonValue parked = object.value(QLatin1String("parked")); parked.isDouble()) {
        if (!evaluate_) {
            message.dropped = true;
        } else {
            message.ready = false;
            QPointer<ScriptMessageEndpoint> self(this);
            const quint64 session = asId(object.value(QLatin1String("session")));
            evaluate_(QStringLiteral("window.%1(%2)").arg(QLatin1String(kTakeParked)).arg(asId(parked)),
                      [self, seq, session](const QVariant& answer) {
                          if (self)
                              self->fetched(seq, session, answer);
                      });
        }
    } else if (const QJsonArray adopt = object.value(QLatin1String("adopt")).toArray(); adopt.size() == 3) {
        // Not a message for the receivers: it only moves the base, in order.
        message.dropped = true;
        message.ready = false;
        message.body = adopt;
    } else if (const QJsonValue edit = object.value(QLatin1String("edit")); edit.isArray()) {
        message.generation = asId(object.value(QLatin1String("generation")));
        message.report = asId(object.value(QLatin1String("report")));
        message.isText = true;
        message.ready = false;  // applied in order, once the reports before it are in
        message.body = edit;
    } else {
        message.body = body;
    }
    deliver();
    return true;
}

void ScriptMessageEndpoint::fetched(quint64 seq, quint64 session, const QVariant& answer)
{
    const auto it = queue_.find(seq);
    if (it == queue_.end())
        return;
    Message& message = it->second;
    message.ready = true;
    const QVariantList parts = answer.toList();
    if (parts.size() < 3 || parts.at(1).typeId() != QMetaType::QString) {
        message.dropped = true;  // gone (the page was reloaded) or not from the shim
    } else {
        message.generation = static_cast<quint64>(parts.at(0).toDouble());
        message.report = parts.size() > 3 ? static_cast<quint64>(parts.at(3).toDouble()) : 0;
        message.text = parts.at(1).toString();
        if (parts.at(2).toBool())
            message.text.remove(0, 1);
        message.isText = true;
        if (isTextReport(message.name))
            session_ = session;
    }
    deliver();
}

void ScriptMessageEndpoint::applyEdit(Message& message, const QJsonArray& edit)
{
    const QString insert = edit.at(3).toString();
    const qsizetype from = static_cast<qsizetype>(edit.at(1).toDouble(-1));
    const qsizetype to = static_cast<qsizetype>(edit.at(2).toDouble(-1));
    const qsizetype length = static_cast<qsizetype>(edit.at(4).toDouble(-1));
    const bool fits = haveBase_ && asId(edit.at(0)) == session_ && insert.startsWith(QLatin1Char('=')) && from >= 0
        && from <= to && to <= base_.size() && base_.size() - (to - from) + insert.size() - 1 == length;
    if (!fits) {
        // Not the text the page thinks came before: it sends the whole text again.
        message.dropped = true;
        haveBase_ = false;
        if (evaluate_)
            evaluate_(QStringLiteral("window.%1()").arg(QLatin1String(kResend)), [](const QVariant&) {});
        return;
    }
    QString text;
    text.reserve(length);
    text.append(QStringView(base_).left(from));
    text.append(QStringView(insert).mid(1));
    text.append(QStringView(base_).mid(to));
    message.text = std::move(text);
}

void ScriptMessageEndpoint::adoptSentText(const QJsonArray& adopt)
{
    const std::optional<QString> text = sent_ ? sent_(asId(adopt.at(1))) : std::nullopt;
    haveBase_ = text && text->size() == static_cast<qsizetype>(adopt.at(2).toDouble(-1));
    if (!haveBase_)
        return;
    base_ = *text;
    session_ = asId(adopt.at(0));
}

void ScriptMessageEndpoint::deliver()
{
    // A receiver may destroy the page, and this endpoint with it.
    QPointer<ScriptMessageEndpoint> self(this);
    while (self && !queue_.empty()) {
        Message& front = queue_.begin()->second;
        if (!front.ready && front.body.isArray()) {
            if (front.isText)
                applyEdit(front, front.body.toArray());
            else
                adoptSentText(front.body.toArray());
            front.body = QJsonValue();
            front.ready = true;
        }
        if (!front.ready)
            break;
        Message message = std::move(front);
        queue_.erase(queue_.begin());
        if (message.dropped)
            continue;
        if (message.isText && isTextReport(message.name)) {
            base_ = message.text;
            haveBase_ = true;
        }
        if (message.isText && text_)
            text_(message.name, message.text, message.generation, message.report);
        else if (message.isText && receiver_)
            receiver_(message.name, QJsonValue(message.text), message.generation);
        else if (!message.isText && receiver_)
            receiver_(message.name, message.body, 0);
    }
}

}  // namespace flintly
