#pragma once

// MusicBrainz as pure functions: the disc ID of a table of contents (libdiscid), the addresses of
// the web service and of the Cover Art Archive, and the reading of the service's JSON reply for a
// disc ID. No I/O here; core/cd/musicbrainzhttp.h sends the requests. Any thread.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "core/cd/cddrive.h"
#include "core/cd/discnames.h"

namespace Sveltra {

// The frames a trailing data session lies after the last audio track on an enhanced CD (its
// lead-out, lead-in and pregap), which the disc ID leaves out.
inline constexpr int MusicBrainzDataSessionGap = 11400;

// A disc's table of contents as libdiscid takes it: the first and last audio track and, for each,
// its start in frames from the disc's very start (150 frames of lead-in included), the lead-out
// at index 0. Trailing data tracks are left out and the lead-out moved before their session.
struct MusicBrainzToc
{
    int first = 0;
    int last = 0;
    QList<int> offsets; // [0] lead-out, [n - first + 1] track n's start

    bool isValid() const { return first >= 1 && last >= first && last <= 99 && offsets.size() == last - first + 2; }
};
MusicBrainzToc MusicBrainzTocOf(const DiscToc &toc);

// The 28-character disc ID ("xUp1F2NkfP8s8jaeFn_Av3jNEI4-"); empty for a table libdiscid refuses.
QString MusicBrainzDiscId(const MusicBrainzToc &toc);

// The web service's and the archive's base addresses: SVELTRA_MUSICBRAINZ_URL and
// SVELTRA_COVERART_URL from the environment when set (http:// accepted there, for tests and
// mirrors), else the build settings of the same names (the public services).
QUrl MusicBrainzBaseUrl();
QUrl CoverArtBaseUrl();

// "Sveltra/4.3.0 ( https://www.sveltra.example )": the service asks every client to name itself
// and a way to reach its makers.
QByteArray MusicBrainzUserAgent();

// base + /ws/2/discid/<id>?inc=artists+recordings&fmt=json
QUrl MusicBrainzDiscUrl(const QUrl &base, const QString &discId);
// base + /release/<release id>/front-500: the 500-pixel thumbnail of the front cover.
QUrl CoverArtFrontUrl(const QUrl &base, const QString &releaseId);

// What a reply to a disc ID lookup names. Of several releases, one issued in CN is taken, else TW,
// else HK, else one written in Chinese, else the first. The medium is the one holding the disc ID
// (else the release's first). Titles come from the medium's tracks in their order, the album from
// the release, the artist from the release's credits joined as written ("A & B feat. C"), the
// year from the release date; trackCount is the medium's, discNumber its position and discCount
// the release's media. Every text is cut to the length CDDB texts are cut to. A reply over
// CddbMaxReplyBytes, one that is no JSON object or names no release gives source None and the
// reason in *message.
DiscNames MusicBrainzParseDiscReply(const QByteArray &reply, const QString &discId, QString *message = nullptr);

// Whether bytes look like an image a tag can carry (JPEG, PNG, GIF or WebP, by their signature).
bool LooksLikeCoverImage(const QByteArray &bytes);

} // namespace Sveltra
