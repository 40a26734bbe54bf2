#pragma once

// A tiny HTTP server on 127.0.0.1 for the update check tests: it answers every GET with a fixed
// status and body, or never answers, or trickles its body a byte at a time.

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class HttpPeer : public QObject
{
public:
    enum class Mode { Respond, Silent, Trickle };

    Mode mode = Mode::Respond;
    QByteArray status = "200 OK";
    QByteArray body;
    QList<QByteArray> requests; // request lines seen

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    HttpPeer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                auto *buffer = new QByteArray;
                connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    if (!buffer->contains("\r\n\r\n") || buffer->isEmpty())
                        return;
                    requests << buffer->left(buffer->indexOf("\r\n"));
                    buffer->clear();
                    answer(socket);
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    void answer(QTcpSocket *socket)
    {
        if (mode == Mode::Silent)
            return;
        if (mode == Mode::Trickle) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n");
            auto *timer = new QTimer(socket);
            QPointer<QTcpSocket> guard(socket);
            connect(timer, &QTimer::timeout, socket, [guard] {
                if (guard)
                    guard->write("S");
            });
            timer->start(40);
            return;
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};
