#pragma once

// The HTTP side of MusicBrainz: the disc ID lookup on the web service (blocking for its caller
// like the CDDB lookup) and the fetch of a release's front cover from the Cover Art Archive (in
// the background: nobody waits for it). Replies are read by core/cd/musicbrainz.h.
// User-interface thread (a thread with an event loop) only.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

#include "core/cd/discnames.h"

class QNetworkAccessManager;
class QObject;

namespace Sveltra {

class RequestPacer;

// The most a cover may weigh; a larger one is not taken.
inline constexpr qsizetype CoverMaxBytes = 4 * 1024 * 1024;

// The process's requests to the MusicBrainz web service, kept one second apart as the service asks.
RequestPacer &MusicBrainzPacer();

struct MusicBrainzLookupResult
{
    DiscNames names; // names.found() when the service knows the disc
    QString message; // why not: no such disc, HTTP error, time-out ...
};

// Asks the service at base about the disc ID, with the program's User-Agent. Waits for its turn
// (MusicBrainzPacer) and for the answer; the whole gives up after timeoutMs. A reply larger than
// CddbMaxReplyBytes is abandoned as a failed lookup; 404 is "no such disc".
MusicBrainzLookupResult MusicBrainzLookup(QNetworkAccessManager &network, const QUrl &base, const QString &discId,
                                          int timeoutMs = 10000);

// Starts fetching a cover and returns at once. done is called exactly once, later, from the event
// loop, with the image bytes, or with nothing when the fetch failed in any way (refused, HTTP
// error, no answer within timeoutMs, larger than CoverMaxBytes, not an image); never when the
// context object is gone by then. Redirects (the archive's usual answer) are followed.
void FetchCover(QNetworkAccessManager &network, const QUrl &url, int timeoutMs, QObject *context,
                std::function<void(const QByteArray &image)> done);

} // namespace Sveltra
