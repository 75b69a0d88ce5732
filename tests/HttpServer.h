#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A small HTTP/1.1 server on 127.0.0.1 for tests: it answers every GET with the status it is given and
// keeps each request's target (path and query, as sent).
class HttpServer : public QObject
{
    Q_OBJECT
public:
    explicit HttpServer(int status = 200);
    QString hostAndPort() const;
    QList<QByteArray> targets;
    int status;

signals:
    void requestReceived();

private:
    void serve();
    QTcpServer m_server;
};
