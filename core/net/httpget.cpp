#include "core/net/httpget.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <memory>

namespace Sveltra {

namespace {

struct ReplyDeleter
{
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};

// Lets events run (user input deferred) until ms have passed.
void WaitFor(qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0; left = ms - clock.elapsed()) {
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

HttpGetResult BlockingGet(QNetworkAccessManager &network, const QNetworkRequest &request, const QDeadlineTimer &deadline,
                          qsizetype maxBytes, const QString &service)
{
    HttpGetResult result;
    const QString host = request.url().host();
    if (deadline.hasExpired()) {
        result.message = service + QStringLiteral(": timed out");
        return result;
    }
    const std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(request));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    timer.start(std::chrono::milliseconds(qMax<qint64>(1, deadline.remainingTime())));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (tooLarge || reply->bytesAvailable() > maxBytes) {
        reply->abort();
        result.message = service + QStringLiteral(": the reply from ") + host
            + QStringLiteral(" is larger than %1 bytes").arg(maxBytes);
        return result;
    }
    if (!reply->isFinished()) {
        reply->abort();
        result.message = service + QStringLiteral(": no answer from ") + host + QStringLiteral(" in time");
        return result;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        result.message = service + QStringLiteral(": ") + reply->errorString();
        return result;
    }
    result.ok = true;
    result.status = status.toInt();
    result.body = reply->readAll();
    if (result.status != 200)
        result.message = service + QStringLiteral(": HTTP status ") + QString::number(result.status);
    return result;
}

bool RequestPacer::wait(const QDeadlineTimer &deadline)
{
    if (m_sinceLast.isValid()) {
        const qint64 left = m_intervalMs - m_sinceLast.elapsed();
        if (left > 0) {
            if (!deadline.isForever() && deadline.remainingTime() < left)
                return false;
            WaitFor(left);
        }
    }
    m_sinceLast.start();
    return true;
}

} // namespace Sveltra
