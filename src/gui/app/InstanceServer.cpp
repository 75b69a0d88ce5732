#include "InstanceServer.h"

#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <unistd.h>

namespace {
// A message is a few paths; one much larger is not from a start of this program.
constexpr qsizetype kMaxMessage = 16 * 1024 * 1024;
} // namespace

InstanceServer::InstanceServer(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            // The socket's folder keeps others out already; a socket passed on by another user's program
            // is still refused here.
            if (SingleInstance::PeerUser(socket->socketDescriptor()) != qint64(::geteuid())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto* received = new QByteArray;
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, socket, [received] { delete received; });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
                *received += socket->readAll();
                if (received->size() > kMaxMessage) {
                    socket->abort();
                    return;
                }
                const auto paths = SingleInstance::Decode(*received);
                if (!paths)
                    return;
                received->clear();
                socket->write("ok\n");
                socket->flush();
                emit pathsReceived(*paths);
            });
            // A start that connects and says nothing is not kept waiting on.
            QTimer::singleShot(10000, socket, [socket] { socket->abort(); });
        }
    });
}

InstanceServer::~InstanceServer()
{
    Close();
}

bool InstanceServer::Listen(const QString& socketPath)
{
    if (socketPath.isEmpty())
        return false;
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

void InstanceServer::Close()
{
    // Closing removes the file the server made.
    m_server->close();
}
