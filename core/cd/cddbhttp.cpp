#include "core/cd/cddbhttp.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace Sveltra {

namespace {

struct ReplyDeleter
{
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};

// One GET, waited for in a nested event loop until it ends or the deadline passes.
bool Fetch(QNetworkAccessManager &network, const QUrl &url, const QString &client, const QDeadlineTimer &deadline,
           QByteArray *body, QString *message)
{
    if (deadline.hasExpired()) {
        *message = QStringLiteral("CDDB: timed out");
        return false;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, client);
    const std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(request));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A reply announced or grown past the limit is given up at once, not held in memory.
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        if (received > CddbMaxReplyBytes || total > CddbMaxReplyBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    timer.start(std::chrono::milliseconds(qMax<qint64>(1, deadline.remainingTime())));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (tooLarge || reply->bytesAvailable() > CddbMaxReplyBytes) {
        reply->abort();
        *message = QStringLiteral("CDDB: the reply from ") + url.host()
            + QStringLiteral(" is larger than %1 bytes").arg(CddbMaxReplyBytes);
        return false;
    }
    if (!reply->isFinished()) {
        reply->abort();
        *message = QStringLiteral("CDDB: no answer from ") + url.host() + QStringLiteral(" in time");
        return false;
    }
    if (reply->error() != QNetworkReply::NoError) {
        *message = QStringLiteral("CDDB: ") + reply->errorString();
        return false;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        *message = QStringLiteral("CDDB: HTTP status ") + QString::number(status);
        return false;
    }
    *body = reply->readAll();
    return true;
}

} // namespace

CddbLookupResult CddbLookup(QNetworkAccessManager &network, const QUrl &base, const QString &client, const QString &email,
                            const CddbToc &toc, int timeoutMs)
{
    CddbLookupResult result;
    if (!toc.isValid()) {
        result.message = QStringLiteral("CDDB: no table of contents to look up");
        return result;
    }
    result.discId = CddbDiscIdText(CddbDiscId(toc));
    const QDeadlineTimer deadline(timeoutMs);

    QByteArray body;
    if (!Fetch(network, CddbRequestUrl(base, CddbQueryCommand(toc), client, email), client, deadline, &body, &result.message))
        return result;
    const CddbMatch match = CddbParseQueryReply(body);
    if (!match.found) {
        result.message = match.message;
        return result;
    }
    if (!Fetch(network, CddbRequestUrl(base, CddbReadCommand(match.category, match.discId), client, email), client, deadline,
               &body, &result.message))
        return result;
    result.found = CddbParseReadReply(body, match.category, &result.entry, &result.message);
    return result;
}

} // namespace Sveltra
