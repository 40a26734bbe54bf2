#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

// One fetch of the version file over HTTP. The transfer runs in the background on the thread
// that owns the object (the user-interface thread), so windows keep painting; its one result
// arrives through finished(). Nothing is written to disk: no cache, no cookie file.
namespace Sveltra {

class VersionFetch final : public QObject
{
    Q_OBJECT

public:
    // A fetch that has not finished after this long is given up, whether the server never
    // answers or trickles bytes.
    static constexpr int DefaultTimeoutMs = 15000;
    // Only the first characters of the version file count; a body longer than this is cut
    // here instead of being held in memory whole.
    static constexpr qsizetype MaximumBody = 4096;

    explicit VersionFetch(QObject *parent = nullptr);
    ~VersionFetch() override;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }

    // Starts fetching url; a fetch already under way is abandoned without a result.
    void start(const QUrl &url);
    bool isRunning() const { return m_reply != nullptr; }

signals:
    // ok: the server answered with success and body holds (the first MaximumBody bytes of) the
    // response. Otherwise error says what went wrong (no connection, HTTP error, time-out).
    void finished(bool ok, const QByteArray &body, const QString &error);

private:
    void onReadyRead();
    void onFinished();
    void onTimeout();
    void complete(bool ok, const QString &error);
    void dropReply();

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    int m_timeoutMs = DefaultTimeoutMs;
};

} // namespace Sveltra
