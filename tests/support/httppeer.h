#pragma once

// A tiny HTTP server on 127.0.0.1 for the update check tests: it answers every GET with a fixed
// status and body, or never answers, or trickles its body a byte at a time.

#include <QHostAddress>
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

    HttpPeer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                m_request += socket->readAll();
                if (m_request.contains("\r\n\r\n")) {
                    requests << m_request.left(m_request.indexOf("\r\n"));
                    m_request.clear();
                    answer(socket);
                }
            });
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    void close() { m_server.close(); } // nobody listens at the address any more

private:
    void answer(QTcpSocket *socket)
    {
        if (mode == Mode::Silent)
            return;
        if (mode == Mode::Trickle) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
            auto *timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [socket] { socket->write("S"); });
            timer->start(40);
            return;
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_request;
};
