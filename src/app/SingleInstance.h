#pragma once

#include "app/InstanceRequest.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace flintly {

// One Flintly per user and configuration folder. The running instance holds a lock on
// a file beside the settings and listens on a local socket named after that file; a
// later launch finds the lock taken, hands its request over the socket, waits for the
// answer and exits. Both names follow from the configuration folder alone, so a launch
// from a terminal with another environment (no XDG_RUNTIME_DIR, `sudo -E`, another
// TMPDIR) still finds the running instance instead of starting a second one on the same
// notes.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString lockPath = defaultLockPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // "Flintly.lock" beside "Flintly.conf".
    static QString defaultLockPath();
    // The socket's name in the abstract namespace: from the lock file's canonical path.
    QString socketName() const { return socketName_; }

    // Takes the lock for the life of this object (or until releaseLock). False when
    // another process holds it. A lock file that cannot be used at all (a read-only
    // folder) does not stop the app: that is logged and counts as taken. The holder's
    // process id is written into the file, for people and scripts looking for it.
    bool tryLock();
    void releaseLock();

    struct Delivery {
        enum class Outcome {
            notRunning,  // nobody took the request: it was not delivered
            noAnswer,    // delivered, but no answer came in time: it may have been carried out
            answered,
        };
        Outcome outcome = Outcome::notRunning;
        InstanceAnswer answer;
    };
    // Sends `request` to the running instance and waits `answerTimeoutMs` for its answer.
    Delivery sendToRunning(const InstanceRequest& request, int connectTimeoutMs = 1000,
                           int answerTimeoutMs = 1000) const;
    // sendToRunning, tried again while the running instance may still be starting up
    // (and, with `stillStarting`, only while that says so). Never sends twice: a request
    // that was delivered is not repeated.
    Delivery handOver(const InstanceRequest& request, int patienceMs = 5000, int answerTimeoutMs = 1000,
                      const std::function<bool()>& stillStarting = {}) const;

    // Answers one request; may be called later than the handler returns, and does nothing
    // once the asking launch has gone.
    using Answer = std::function<void(const InstanceAnswer&)>;
    using Handler = std::function<void(const InstanceRequest&, Answer)>;
    // Starts listening for later launches. Call once the lock is ours.
    bool listen(Handler handler);

private:
    // The longest request line: 1 MiB of text for --append, with room for JSON escapes.
    static constexpr qint64 kMaxRequestBytes = 8 * 1024 * 1024;

    void serve(QLocalSocket* socket);

    QString lockPath_;
    QString socketName_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
    Handler handler_;
};

}  // namespace flintly
