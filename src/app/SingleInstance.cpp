#include "app/SingleInstance.h"

#include "platform/Log.h"
#include "platform/SettingsStore.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace flintly {

namespace {

// Abstract sockets have no file permissions: only the user (or root acting for the
// user, as with `sudo -E`) may ask this instance for anything.
bool isTrustedPeer(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == ::getuid() || peer.uid == 0;
}

}  // namespace

SingleInstance::SingleInstance(QString lockPath, QObject* parent) : QObject(parent), lockPath_(std::move(lockPath))
{
    const QFileInfo info(lockPath_);
    QDir().mkpath(info.absolutePath());
    // The folder's real path, so a configuration reached through a symbolic link is
    // still the same configuration.
    const QString canonicalFolder = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString identity =
        (canonicalFolder.isEmpty() ? info.absolutePath() : canonicalFolder) + u'/' + info.fileName();
    socketName_ = QStringLiteral("flintly-")
        + QString::fromLatin1(QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

SingleInstance::~SingleInstance()
{
    if (lockFd_ >= 0)
        ::close(lockFd_);  // releases the lock
}

QString SingleInstance::defaultLockPath()
{
    return QFileInfo(SettingsStore::standardFilePath()).absolutePath() + QStringLiteral("/Flintly.lock");
}

bool SingleInstance::tryLock()
{
    if (lockFd_ >= 0)
        return true;
    // flock, not a PID written into the file: the kernel lets go when the process ends
    // however it ends, so a crash never leaves a stale lock behind. Close-on-exec so
    // that a program we start (a browser, a file manager) does not inherit it.
    const QByteArray path = QFile::encodeName(lockPath_);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        log("⚠️ Could not open the instance lock; another Flintly may start on the same notes:", lockPath_);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        if (heldElsewhere)
            return false;
        log("⚠️ Could not lock the instance lock; another Flintly may start on the same notes:", lockPath_);
        return true;
    }
    lockFd_ = fd;
    return true;
}

QString SingleInstance::openRequest(const QString& path)
{
    return QStringLiteral("open ") + QString::fromLatin1(QUrl::toPercentEncoding(path));
}

std::optional<QString> SingleInstance::openedPath(const QString& request)
{
    if (!request.startsWith(u"open "))
        return std::nullopt;
    return QUrl::fromPercentEncoding(request.mid(5).toLatin1());
}

SingleInstance::Answer SingleInstance::sendToRunning(const QString& request, int answerMs) const
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(socketName_);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write(request.toUtf8() + '\n');
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {}
    // From here on the running instance may have the request: it is not sent again.
    Answer answer{Answer::Kind::noAnswer, {}};
    if (socket.bytesToWrite() > 0)
        return answer;
    // The answer comes once the request is done (opening a file reads it first).
    QDeadlineTimer deadline(answerMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {}
    if (!socket.canReadLine())
        return answer;
    const QString line = QString::fromUtf8(socket.readLine()).trimmed();
    if (line == u"ok")
        answer.kind = Answer::Kind::done;
    else if (line.startsWith(u"error ")) {
        answer.kind = Answer::Kind::refused;
        answer.reason = line.mid(6);
    }
    return answer;
}

SingleInstance::Answer SingleInstance::handOver(const QString& request, int patienceMs) const
{
    QDeadlineTimer deadline(patienceMs);
    for (;;) {
        const Answer answer = sendToRunning(request);
        if (answer.kind != Answer::Kind::notListening || deadline.hasExpired())
            return answer;
        // It holds the lock but does not listen yet: still starting.
        QThread::msleep(100);
    }
}

bool SingleInstance::listen(Handler handler)
{
    if (server_)
        return true;
    handler_ = std::move(handler);
    server_ = new QLocalServer(this);
    // An abstract name leaves no file behind after a crash and needs no folder that
    // depends on the environment.
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!server_->listen(socketName_)) {
        log("⚠️ Could not listen for other launches:", server_->errorString());
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!isTrustedPeer(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                while (socket->canReadLine()) {
                    const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                    const bool known = line == u"show" || line == u"toggle" || openedPath(line);
                    const QString refusal = !known ? QStringLiteral("unknown request")
                        : handler_                 ? handler_(line)
                                                   : QString();
                    // One line: the reason may quote a file name holding a line break.
                    QString reason = refusal;
                    reason.replace(u'\n', u' ');
                    socket->write(reason.isEmpty() ? QByteArray("ok\n") : "error " + reason.toUtf8() + '\n');
                }
            });
        }
    });
    return true;
}

}  // namespace flintly
