#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <map>
#include <optional>

namespace flintly {

// The one object the page sees over the web channel. It exposes nothing but post(),
// so a script in the page cannot reach any other native method.
//
// The web channel carries a message as JSON, parsed on both sides of the process
// boundary: for a note of many megabytes that is seconds. So the handler script sends
// a long text report as the stretch that differs from the report before it, which the
// endpoint keeps; a long text without one before it is parked in the page under a
// number, and the endpoint fetches it with a script (a plain string across the
// boundary, no JSON). Messages are handed on in the order they were posted, a fetched
// one holding back those behind it.
class ScriptMessageEndpoint : public QObject {
    Q_OBJECT
public:
    // `generation` is the text generation the page had when it posted (see the shim).
    using Receiver = std::function<void(const QString& name, const QJsonValue& body, quint64 generation)>;
    // String bodies, which is every body the page posts; a text report comes with the
    // number the page gave it (0 for other messages).
    using TextReceiver =
        std::function<void(const QString& name, const QString& text, quint64 generation, quint64 report)>;
    // Runs `script` in the page and calls back with its value (null when it could not).
    using Evaluator = std::function<void(const QString& script, std::function<void(const QVariant&)> done)>;
    // The text the app gave the page as `generation`, if it still knows it.
    using SentText = std::function<std::optional<QString>(quint64 generation)>;

    explicit ScriptMessageEndpoint(Receiver receiver, QObject* parent = nullptr);
    ScriptMessageEndpoint(Receiver receiver, TextReceiver text, Evaluator evaluate, SentText sent,
                          QObject* parent = nullptr);

    // String bodies arrive behind a marker, "<generation>=", or "<generation>:<report>="
    // for a text report (see the handler script); parked texts as {"parked": number,
    // "session": number}; the differing stretch as {"edit": [session, from, to,
    // "=" + insert, length], "generation": number, "report": number}. When
    // the page has taken a text from the app it says so, {"adopt": [session, generation,
    // length]}, and that text is what the next report differs from. The answer (always
    // true) tells the page the message has arrived.
    Q_INVOKABLE bool post(const QString& name, const QJsonValue& body);

    // The page's function that hands over a parked text: [generation, text, marked,
    // report], where a marked text has "=" in front (a leading byte-order mark would be
    // lost).
    static constexpr auto kTakeParked = "__flintlyTakeParked";
    // The page's function that posts the last reported text again, whole.
    static constexpr auto kResend = "__flintlyResendText";

private:
    struct Message {
        QString name;
        QJsonValue body;
        QString text;
        quint64 generation = 0;
        quint64 report = 0;
        bool isText = false;
        bool ready = true;
        bool dropped = false;
    };

    void fetched(quint64 seq, quint64 session, const QVariant& answer);
    void applyEdit(Message& message, const QJsonArray& edit);
    void adoptSentText(const QJsonArray& adopt);
    void deliver();

    Receiver receiver_;
    TextReceiver text_;
    Evaluator evaluate_;
    SentText sent_;
    std::map<quint64, Message> queue_;
    quint64 nextSeq_ = 0;
    // The last text report handed on, which the next one's edit applies to, and the
    // handler script (one per page load) it came from.
    QString base_;
    quint64 session_ = 0;
    bool haveBase_ = false;
};

}  // namespace flintly
