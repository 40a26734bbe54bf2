#include "core/cd/cddbhttp.h"

#include <QDeadlineTimer>
#include <QNetworkRequest>

#include <utility>

#include "core/net/httpget.h"

namespace Sveltra {

namespace {

// One GET of the exchange, answered 200 within the deadline and the cap.
bool Fetch(QNetworkAccessManager &network, const QUrl &url, const QString &client, const QDeadlineTimer &deadline,
           QByteArray *body, QString *message)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, client);
    HttpGetResult got = BlockingGet(network, request, deadline, CddbMaxReplyBytes, QStringLiteral("CDDB"));
    if (!got.ok || got.status != 200) {
        *message = got.message;
        return false;
    }
    *body = std::move(got.body);
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
