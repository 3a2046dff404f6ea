#include "app/SingleInstance.h"

#include "platform/Log.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace flintly {

SingleInstance::SingleInstance(QString socketName, QObject* parent) : QObject(parent), name_(std::move(socketName)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketName()
{
    // In the session's runtime folder, so each login session (and each test's private
    // XDG_RUNTIME_DIR) has its own Flintly; /tmp with the user id where there is none.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/flintly.instance");
    return QStringLiteral("flintly-%1").arg(::getuid());
}

bool SingleInstance::sendToRunning(const QString& request, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(request.toUtf8() + '\n');
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(timeoutMs)) {
    }
    if (socket.bytesToWrite() > 0)
        return false;
    // Wait for the running instance to take it, so the request is not lost if we exit first.
    socket.waitForReadyRead(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    // Qt binds a socket with access options elsewhere and renames it into place, which
    // would silently take the name from a running instance: ask first.
    if (sendToRunning(QStringLiteral("ping"), 300))
        return false;
    // Whatever is left at the name answers nobody (a crashed instance's socket).
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        log("⚠️ Could not listen for other launches:", server_->errorString());
        return true;  // run anyway; only the hand-over to this instance is lost
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                while (socket->canReadLine()) {
                    const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                    socket->write("ok\n");
                    if (line == u"show" || line == u"toggle")
                        emit requested(line);
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace flintly
