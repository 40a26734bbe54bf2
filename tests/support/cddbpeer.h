#pragma once

// A tiny HTTP server on 127.0.0.1 standing in for a CDDB server's CGI: it records each request's
// command and greeting and answers what the test's handler says (or nothing at all).

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

namespace TestCd {

struct PeerRequest
{
    QString path;
    QString cmd;   // the "cmd" parameter with "+" read as blank
    QString hello;
    QString proto;
    QByteArray head; // the request line and headers as sent
};

struct PeerReply
{
    int httpStatus = 200;
    QByteArray body;
    bool silent = false; // accept the request and never answer
};

class CddbPeer : public QObject
{
public:
    std::function<PeerReply(const PeerRequest &)> handler;
    QList<PeerRequest> requests;

    CddbPeer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
    }

    // The CGI's address on this peer.
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/~cddb/cddb.cgi").arg(m_server.serverPort()));
    }

    static QString decodeParameter(QByteArray value)
    {
        value.replace('+', ' ');
        return QUrl::fromPercentEncoding(value);
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        PeerRequest request;
        request.head = buffer.left(end);
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffer.clear();
        const QByteArray target = requestLine.value(1);
        const qsizetype question = target.indexOf('?');
        request.path = QString::fromLatin1(target.left(question));
        for (const QByteArray &pair : target.mid(question + 1).split('&')) {
            const qsizetype equals = pair.indexOf('=');
            const QByteArray key = pair.left(equals);
            const QString value = decodeParameter(pair.mid(equals + 1));
            if (key == "cmd")
                request.cmd = value;
            else if (key == "hello")
                request.hello = value;
            else if (key == "proto")
                request.proto = value;
        }
        requests.append(request);
        const PeerReply reply = handler ? handler(request) : PeerReply{404, QByteArray(), false};
        if (reply.silent)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(reply.httpStatus) + " X\r\nContent-Type: text/plain\r\nContent-Length: "
                      + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace TestCd
