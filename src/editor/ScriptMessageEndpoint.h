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
    using Receiver = std::function<void(const QString& name, const QJsonValue& body)>;

    explicit ScriptMessageEndpoint(Receiver receiver, QObject* parent = nullptr)
        : QObject(parent)
        , receiver_(std::move(receiver))
    {
    }

    // String bodies arrive behind a one-character marker (see the handler script).
    Q_INVOKABLE void post(const QString& name, const QJsonValue& body)
    {
        if (!receiver_)
            return;
        if (body.isString())
            receiver_(name, QJsonValue(body.toString().mid(1)));
        else
            receiver_(name, body);
    }

private:
    Receiver receiver_;
};

}  // namespace flintly
