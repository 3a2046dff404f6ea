#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;

namespace flintly {

// One Flintly per user and configuration folder. The running instance holds a lock on
// a file beside the settings and listens on a local socket named after that file; a
// later launch finds the lock taken, hands its request ("show", "toggle" or a file to
// open) over the socket, waits for the answer and exits. Both names follow from the configuration folder alone, so a
// launch from a terminal with another environment (no XDG_RUNTIME_DIR, `sudo -E`, another TMPDIR) still finds the
// running instance instead of starting a second one on the same notes.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString lockPath = defaultLockPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // "Flintly.lock" beside "Flintly.conf".
    static QString defaultLockPath();
    // The socket's name in the abstract namespace: from the lock file's canonical path.
    QString socketName() const { return socketName_; }

    // Takes the lock for the life of this object. False when another process holds it.
    // A lock file that cannot be used at all (a read-only folder) does not stop the app:
    // that is logged and counts as taken.
    bool tryLock();
    // What a running instance made of a request.
    struct Answer {
        enum class Kind { notListening, noAnswer, done, refused };
        Kind kind = Kind::notListening;
        QString reason;  // why it was refused
    };
    // Does the request and returns empty, or says why it could not.
    using Handler = std::function<QString(const QString& request)>;

    // A request to open a file: paths may hold any character, line breaks included.
    static QString openRequest(const QString& path);
    // The path of an open request; nothing for another request.
    static std::optional<QString> openedPath(const QString& request);

    // Sends `request` to the running instance and waits up to `answerMs` for its answer.
    Answer sendToRunning(const QString& request, int answerMs = 10000) const;
    // sendToRunning, retried while the running instance holds the lock but does not
    // listen yet (it is still starting up). A request that reached it is never repeated.
    Answer handOver(const QString& request, int patienceMs = 5000) const;
    // Starts listening for later launches. Call once the lock is ours. The handler runs
    // on this object's thread for each request.
    bool listen(Handler handler);

private:
    QString lockPath_;
    QString socketName_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
    Handler handler_;
};

}  // namespace flintly
