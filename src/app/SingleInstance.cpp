#include "app/SingleInstance.h"

#include "platform/Log.h"
#include "platform/SettingsStore.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

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
    const QByteArray pid = QByteArray::number(::getpid()) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::write(fd, pid.constData(), static_cast<size_t>(pid.size())) != pid.size())
        log("⚠️ Could not note the process in the instance lock:", lockPath_);
    return true;
}

void SingleInstance::releaseLock()
{
    if (lockFd_ >= 0)
        ::close(std::exchange(lockFd_, -1));
}

SingleInstance::Delivery SingleInstance::sendToRunning(const InstanceRequest& request, int connectTimeoutMs,
                                                       int answerTimeoutMs) const
{
    Delivery delivery;
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(socketName_);
    if (!socket.waitForConnected(connectTimeoutMs))
        return delivery;
    socket.write(request.encode());
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(connectTimeoutMs)) {}
    if (socket.bytesToWrite() > 0)
        return delivery;
    // From here on the running instance may act on the request, answered or not.
    delivery.outcome = Delivery::Outcome::noAnswer;
    QDeadlineTimer deadline(answerTimeoutMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return delivery;
    }
    if (const auto answer = InstanceAnswer::decode(socket.readLine())) {
        delivery.outcome = Delivery::Outcome::answered;
        delivery.answer = *answer;
    }
    return delivery;
}

SingleInstance::Delivery SingleInstance::handOver(const InstanceRequest& request, int patienceMs, int answerTimeoutMs,
                                                  const std::function<bool()>& stillStarting) const
{
    QDeadlineTimer deadline(patienceMs);
    for (;;) {
        const Delivery delivery = sendToRunning(request, 1000, answerTimeoutMs);
        if (delivery.outcome != Delivery::Outcome::notRunning || deadline.hasExpired()
            || (stillStarting && !stillStarting()))
            return delivery;
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
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { serve(socket); });
        }
    });
    return true;
}

void SingleInstance::serve(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const auto request = InstanceRequest::decode(socket->readLine());
        QPointer<QLocalSocket> asker(socket);
        Answer answer = [asker](const InstanceAnswer& a) {
            if (!asker || asker->state() != QLocalSocket::ConnectedState)
                return;
            asker->write(a.encode());
            asker->flush();
        };
        if (!request)
            answer({false, QStringLiteral("this Flintly does not know that request"), true});
        else if (handler_)
            handler_(*request, std::move(answer));
        else
            answer({});
    }
    // A request is one line; a launch that sends more than any request can hold without
    // ending it is not one of ours.
    if (socket->bytesAvailable() > kMaxRequestBytes)
        socket->abort();
}

}  // namespace flintly
