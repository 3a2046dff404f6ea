#pragma once

#include <QJsonValue>
#include <QObject>
#include <QString>

#include <functional>

namespace flintly {

// The one object the page sees over the web channel. It exposes nothing but post(),
// so a script in the page cannot reach any other native method.
class ScriptMessageEndpoint : public QObject {
    Q_OBJECT
public:
    // `generation` is the text generation the page had when it posted (see the shim).
    using Receiver = std::function<void(const QString& name, const QJsonValue& body, quint64 generation)>;

    explicit ScriptMessageEndpoint(Receiver receiver, QObject* parent = nullptr)
        : QObject(parent), receiver_(std::move(receiver))
    {}

    // String bodies arrive behind a marker, "<generation>=" (see the handler script).
    // The answer (always true) tells the page the message has arrived.
    Q_INVOKABLE bool post(const QString& name, const QJsonValue& body)
    {
        if (!receiver_)
            return true;
        if (!body.isString()) {
            receiver_(name, body, 0);
            return true;
        }
        const QString marked = body.toString();
        const qsizetype cut = marked.indexOf(QLatin1Char('='));
        if (cut < 0)
            return true;  // not from the shim
        receiver_(name, QJsonValue(marked.mid(cut + 1)), marked.left(cut).toULongLong());
        return true;
    }

private:
    Receiver receiver_;
};

}  // namespace flintly
