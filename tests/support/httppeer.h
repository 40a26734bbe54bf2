#pragma once

// A small HTTP server on 127.0.0.1 standing in for the servers the program talks to (the CDDB
// CGI, the version file). Each request goes to the test's handler, which says what to answer:
// a status and body, nothing at all, or a body that trickles in a byte at a time and never ends.
// Every request is recorded. One request per connection, closed after the answer.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

namespace TestSupport {

struct HttpRequest
{
    QByteArray line; // the request line, e.g. "GET /a?b=c HTTP/1.1"
    QByteArray head; // the request line and headers as sent
    QByteArray method;
    QString path;     // the target without its query
    QByteArray query; // the target after "?", as sent

    // A query parameter with "+" read as blank and %XX decoded; empty when absent.
    QString parameter(const QByteArray &key) const;
    // A header's value (name in any letter case), blanks around it trimmed; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

struct HttpReply
{
    enum class Mode { Respond, Silent, Trickle };

    int status = 200;
    QByteArray body{};
    Mode mode = Mode::Respond; // Silent: keep the connection and never answer; Trickle: answer
                               // 200 with a long body sent a byte every 40 ms, never finished

    static HttpReply silent() { return {.mode = Mode::Silent}; }
    static HttpReply trickle() { return {.mode = Mode::Trickle}; }
};

class HttpPeer final : public QObject
{
public:
    // Without a handler every request is answered 404.
    std::function<HttpReply(const HttpRequest &)> handler;
    QList<HttpRequest> requests; // in the order they arrived

    HttpPeer();

    // Answers every request alike.
    void answerAll(const HttpReply &reply);
    QList<QByteArray> requestLines() const;
    // "http://127.0.0.1:<port>" and, with a path, that path on this peer.
    QString address() const;
    QUrl url(const QString &path) const;
    // Stops listening: the address then refuses connections.
    void close();

private:
    void serve(QTcpSocket *socket, const QByteArray &received);

    QTcpServer m_server;
};

// CDDB over HTTP: the CGI on a peer, and the decoded parameters of a request to it.
QUrl CddbUrl(const HttpPeer &peer);
inline QString CddbCmd(const HttpRequest &request)
{
    return request.parameter("cmd");
}
inline QString CddbHello(const HttpRequest &request)
{
    return request.parameter("hello");
}
inline QString CddbProto(const HttpRequest &request)
{
    return request.parameter("proto");
}

} // namespace TestSupport
