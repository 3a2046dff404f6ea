#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace flintly {

// One Flintly per user: the first instance listens on a local socket; a later launch
// hands its request ("show" or "toggle") to it and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketName = defaultSocketName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketName();

    // Sends `request` to a running instance; false when none answered.
    bool sendToRunning(const QString& request, int timeoutMs = 1000) const;
    // Starts listening; false when another instance already listens.
    bool listen();

signals:
    void requested(const QString& request);

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace flintly
