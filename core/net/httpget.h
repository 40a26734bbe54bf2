#pragma once

// One HTTP GET waited for on the user-interface thread, shared by the CDDB and MusicBrainz
// lookups: the caller blocks, yet the thread's event loop keeps running in a nested loop that
// defers user input (windows repaint, nothing re-enters the caller by a click). And the pacing
// of requests to a service that allows one a second.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QString>

class QNetworkAccessManager;

namespace Sveltra {

struct HttpGetResult
{
    bool ok = false; // an answer arrived in time, within the cap (any status)
    int status = 0;  // the HTTP status when ok
    QByteArray body;
    QString message; // why not ok: "<service>: no answer from <host> in time" ...
};

// Sends the request and waits until the answer is complete or the deadline passes. A reply
// announced or grown past maxBytes is abandoned at once, not held in memory. service names the
// lookup in messages ("CDDB").
HttpGetResult BlockingGet(QNetworkAccessManager &network, const QNetworkRequest &request, const QDeadlineTimer &deadline,
                          qsizetype maxBytes, const QString &service);

// Keeps requests to one service at least intervalMs apart. wait() returns at once for the first
// request and otherwise waits (letting events run as BlockingGet does) until the interval since
// the previous request has passed; it returns false, without waiting, when that would be after
// the deadline. Each wait that returns true counts as a request sent.
class RequestPacer
{
public:
    explicit RequestPacer(int intervalMs = 1000)
        : m_intervalMs(intervalMs)
    {
    }
    bool wait(const QDeadlineTimer &deadline);

private:
    int m_intervalMs;
    QElapsedTimer m_sinceLast;
};

} // namespace Sveltra
