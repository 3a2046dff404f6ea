#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace flintly {

// One Flintly per user and configuration folder. The running instance holds a lock on
// a file beside the settings and listens on a local socket named after that file; a
// later launch finds the lock taken, hands its request ("show" or "toggle") over the
// socket and exits. Both names follow from the configuration folder alone, so a launch
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

    // Takes the lock for the life of this object. False when another process holds it.
    // A lock file that cannot be used at all (a read-only folder) does not stop the app:
    // that is logged and counts as taken.
    bool tryLock();
    // Sends `request` to the running instance; false when none answered.
    bool sendToRunning(const QString& request, int timeoutMs = 1000) const;
    // sendToRunning, retried while the running instance may still be starting up.
    bool handOver(const QString& request, int patienceMs = 5000) const;
    // Starts listening for later launches. Call once the lock is ours.
    bool listen();

signals:
    void requested(const QString& request);

private:
    QString lockPath_;
    QString socketName_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

}  // namespace flintly
