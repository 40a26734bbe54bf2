#include "core/cd/musicbrainzhttp.h"

#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "core/cd/cddb.h"
#include "core/cd/musicbrainz.h"
#include "core/net/httpget.h"

namespace Sveltra {

RequestPacer &MusicBrainzPacer()
{
    static RequestPacer pacer(1000);
    return pacer;
}

MusicBrainzLookupResult MusicBrainzLookup(QNetworkAccessManager &network, const QUrl &base, const QString &discId, int timeoutMs)
{
    MusicBrainzLookupResult result;
    if (discId.isEmpty()) {
        result.message = QStringLiteral("MusicBrainz: no disc ID to look up");
        return result;
    }
    if (!base.isValid() || base.host().isEmpty()) {
        result.message = QStringLiteral("MusicBrainz: no service address");
        return result;
    }
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    if (deadline.hasExpired() || !MusicBrainzPacer().wait(deadline)) {
        result.message = QStringLiteral("MusicBrainz: no time left to wait for the next request");
        return result;
    }
    QNetworkRequest request(MusicBrainzDiscUrl(base, discId));
    request.setRawHeader("User-Agent", MusicBrainzUserAgent());
    request.setRawHeader("Accept", "application/json");
    const HttpGetResult got = BlockingGet(network, request, deadline, CddbMaxReplyBytes, QStringLiteral("MusicBrainz"));
    if (!got.ok) {
        result.message = got.message;
        return result;
    }
    if (got.status == 404) {
        result.message = QStringLiteral("MusicBrainz: no match for disc ") + discId;
        return result;
    }
    if (got.status != 200) {
        result.message = got.message;
        return result;
    }
    result.names = MusicBrainzParseDiscReply(got.body, discId, &result.message);
    return result;
}

void FetchCover(QNetworkAccessManager &network, const QUrl &url, int timeoutMs, QObject *context,
                std::function<void(const QByteArray &image)> done)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", MusicBrainzUserAgent());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = network.get(request);
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);

    // The first of finished, time-out and over-size ends the fetch; the others find it ended.
    struct State
    {
        bool ended = false;
        QPointer<QObject> context;
        std::function<void(const QByteArray &)> done;
    };
    auto state = std::make_shared<State>(State{false, context, std::move(done)});
    const auto end = [state, reply](const QByteArray &image, const QString &why) {
        if (state->ended)
            return;
        state->ended = true;
        if (!why.isEmpty())
            qWarning("Cover of the disc not taken from %s: %s", qPrintable(reply->url().toDisplayString()), qPrintable(why));
        if (!reply->isFinished())
            reply->abort();
        reply->deleteLater();
        if (state->context)
            QTimer::singleShot(0, state->context.data(), [state, image] { state->done(image); });
    };
    QObject::connect(timer, &QTimer::timeout, reply, [end] { end({}, QStringLiteral("no answer in time")); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [end](qint64 received, qint64 total) {
        if (received > CoverMaxBytes || total > CoverMaxBytes)
            end({}, QStringLiteral("larger than %1 bytes").arg(CoverMaxBytes));
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [end, reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status != 200) {
            end({}, status > 0 ? QStringLiteral("HTTP status %1").arg(status) : reply->errorString());
            return;
        }
        const QByteArray image = reply->read(CoverMaxBytes + 1);
        if (image.size() > CoverMaxBytes)
            end({}, QStringLiteral("larger than %1 bytes").arg(CoverMaxBytes));
        else if (!LooksLikeCoverImage(image))
            end({}, QStringLiteral("not an image"));
        else
            end(image, {});
    });
    timer->start(qMax(1, timeoutMs));
}

} // namespace Sveltra
