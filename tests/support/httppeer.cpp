#include "tests/support/httppeer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace TestSupport {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QString HttpRequest::parameter(const QByteArray &key) const
{
    for (const QByteArray &pair : query.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0 || pair.left(equals) != key)
            continue;
        QByteArray value = pair.mid(equals + 1);
        value.replace('+', ' ');
        return QUrl::fromPercentEncoding(value);
    }
    return {};
}

QByteArray HttpRequest::header(const QByteArray &name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0 && lines.at(i).left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return lines.at(i).mid(colon + 1).trimmed();
    }
    return {};
}

HttpPeer::HttpPeer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qWarning("HttpPeer: cannot listen on 127.0.0.1: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            // The socket is the server's child, so it goes with the peer at the latest.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
                if (received->contains("\r\n\r\n"))
                    return; // one request per connection; anything after it is ignored
                *received += socket->readAll();
                if (received->contains("\r\n\r\n"))
                    serve(socket, *received);
            });
        }
    });
}

void HttpPeer::answerAll(const HttpReply &reply)
{
    handler = [reply](const HttpRequest &) { return reply; };
}

QList<QByteArray> HttpPeer::requestLines() const
{
    QList<QByteArray> lines;
    for (const HttpRequest &request : requests)
        lines << request.line;
    return lines;
}

QString HttpPeer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QUrl HttpPeer::url(const QString &path) const
{
    return QUrl(address() + path);
}

void HttpPeer::close()
{
    m_server.close();
}

void HttpPeer::serve(QTcpSocket *socket, const QByteArray &received)
{
    HttpRequest request;
    request.head = received.left(received.indexOf("\r\n\r\n"));
    request.line = request.head.left(request.head.indexOf("\r\n"));
    const QList<QByteArray> parts = request.line.split(' ');
    request.method = parts.value(0);
    const QByteArray target = parts.value(1);
    const qsizetype question = target.indexOf('?');
    request.path = QString::fromLatin1(question < 0 ? target : target.left(question));
    if (question >= 0)
        request.query = target.mid(question + 1);
    requests.append(request);

    const HttpReply reply = handler ? handler(request) : HttpReply{404};
    switch (reply.mode) {
    case HttpReply::Mode::Silent:
        return;
    case HttpReply::Mode::Trickle: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write("S"); });
        timer->start(40);
        return;
    }
    case HttpReply::Mode::Respond:
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status)
                      + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(reply.body.size())
                      + "\r\nConnection: close\r\n\r\n" + reply.body);
        socket->disconnectFromHost();
        return;
    }
}

QUrl CddbUrl(const HttpPeer &peer)
{
    return peer.url(QStringLiteral("/~cddb/cddb.cgi"));
}

} // namespace TestSupport
