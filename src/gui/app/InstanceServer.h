#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// The running instance's end of the hand-over: it listens on the socket beside the lock and passes on
// the paths each later start of the same user sends, acknowledging each message once it has it whole.
// The socket file goes with the server.
class InstanceServer : public QObject
{
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;
    // Clears a socket left by an instance that died, then listens. False when it cannot listen.
    bool Listen(const QString& socketPath);
    // Stops listening and removes the socket file; the program calls it on its way out, which skips
    // destructors.
    void Close();

signals:
    void pathsReceived(const QStringList& paths);

private:
    QLocalServer* m_server;
};
