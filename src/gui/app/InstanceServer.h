#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// The running instance's end of the hand-over: it listens on the socket beside the lock and passes on
// the paths each later start sends, acknowledging each message once it has it whole.
class InstanceServer : public QObject
{
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    // Clears a socket left by an instance that died, then listens. False when it cannot listen.
    bool Listen(const QString& socketPath);

signals:
    void pathsReceived(const QStringList& paths);

private:
    QLocalServer* m_server;
};
