#include "HttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

HttpServer::HttpServer(int status) : status(status)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::serve);
}

QString HttpServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
}

void HttpServer::serve()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            targets.append(requestLine.value(1));
            const QByteArray body = "ok";
            socket->write("HTTP/1.1 " + QByteArray::number(status) +
                          " Status\r\nContent-Type: text/plain\r\n"
                          "Content-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
            emit requestReceived();
        });
    }
}
