#pragma once

// The thin HTTP side of CDDB: sends "cddb query" and, on a match, "cddb read" to the server's CGI
// and hands the replies to the parsers of cd/cddb.h.

#include <QString>
#include <QUrl>

#include "core/cd/cddb.h"

class QNetworkAccessManager;

namespace Sveltra {

struct CddbLookupResult
{
    bool found = false;
    CddbEntry entry; // valid when found
    QString discId;  // the disc id that was asked for
    QString message; // why nothing was found (no match, HTTP error, time-out ...)
};

// Looks the disc up at base (the CGI's full address, e.g. http://gnudb.gnudb.org:80/~cddb/cddb.cgi).
// Blocking for the caller, but the thread's event loop keeps running meanwhile (a nested loop that
// defers user input, so windows repaint and nothing re-enters the caller by a click); the whole
// exchange gives up after timeoutMs, and a reply longer than CddbMaxReplyBytes is abandoned as a
// failed lookup. Call on a thread with an event loop (the user-interface thread).
CddbLookupResult CddbLookup(QNetworkAccessManager &network, const QUrl &base, const QString &client, const QString &email,
                            const CddbToc &toc, int timeoutMs = 10000);

} // namespace Sveltra
