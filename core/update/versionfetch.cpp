#include "core/update/versionfetch.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/base/version.h"

namespace Sveltra {

VersionFetch::VersionFetch(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &VersionFetch::onTimeout);
}

VersionFetch::~VersionFetch()
{
    dropReply();
}

void VersionFetch::start(const QUrl &url)
{
    dropReply();
    m_body.clear();

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString(ApplicationTitle() + u'/' + VersionText()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(m_timeoutMs);

    m_reply = m_manager.get(request);
    // Nothing beyond the first MaximumBody bytes is wanted: neither is it buffered meanwhile.
    m_reply->setReadBufferSize(MaximumBody);
    connect(m_reply, &QNetworkReply::readyRead, this, &VersionFetch::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &VersionFetch::onFinished);
    m_deadline.start(m_timeoutMs);
}

void VersionFetch::onReadyRead()
{
    if (!m_reply)
        return;
    m_body += m_reply->read(MaximumBody - m_body.size());
    if (m_body.size() < MaximumBody)
        return;
    // Enough of the body for the rules: keep what is there and stop the transfer.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 200 && status < 300)
        complete(true, QString());
    else
        complete(false, QStringLiteral("HTTP status %1").arg(status));
}

void VersionFetch::onFinished()
{
    if (!m_reply)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        complete(false, m_reply->errorString());
        return;
    }
    m_body += m_reply->read(MaximumBody - m_body.size());
    complete(true, QString());
}

void VersionFetch::onTimeout()
{
    if (m_reply)
        complete(false, QStringLiteral("no answer within %1 ms").arg(m_timeoutMs));
}

void VersionFetch::complete(bool ok, const QString &error)
{
    dropReply();
    const QByteArray body = ok ? m_body : QByteArray();
    m_body.clear();
    emit finished(ok, body, error);
}

void VersionFetch::dropReply()
{
    m_deadline.stop();
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

} // namespace Sveltra
