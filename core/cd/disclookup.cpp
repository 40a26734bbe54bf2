#include "core/cd/disclookup.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <algorithm>

#include "core/cd/cddb.h"
#include "core/cd/cddbhttp.h"
#include "core/cd/cdtext.h"
#include "core/cd/musicbrainz.h"
#include "core/cd/musicbrainzhttp.h"

namespace Sveltra {

namespace {

// The table of contents in CDDB terms: frames from the disc's very start, lead-in included.
CddbToc CddbTocOf(const DiscToc &disc)
{
    CddbToc toc;
    for (const int start : disc.starts)
        toc.offsets.append(start + CdLeadInFrames);
    toc.leadout = disc.leadout + CdLeadInFrames;
    return toc;
}

DiscNames NamesOf(const CddbEntry &entry)
{
    DiscNames names;
    names.source = NamesSource::Cddb;
    names.artist = entry.artist;
    names.album = entry.album;
    names.genre = entry.genre;
    names.year = entry.year;
    names.trackTitles = entry.trackTitles;
    return names;
}

} // namespace

DiscNames LookUpDisc(QNetworkAccessManager &network, const DiscLookupPlaces &places, const QString &driveName,
                     const DiscToc &disc, QString *whyNot)
{
    const QDeadlineTimer limit(qMax(0, places.limitMs));
    const auto within = [&limit](int timeoutMs) { return int(qMin<qint64>(timeoutMs, limit.remainingTime())); };
    QStringList reasons;
    const CddbLookupResult cddb = CddbLookup(network, places.cddb, places.cddbClient, places.cddbEmail, CddbTocOf(disc),
                                             within(places.cddbTimeoutMs));
    if (cddb.found)
        return NamesOf(cddb.entry);
    reasons << cddb.message;

    const QString discId = MusicBrainzDiscId(MusicBrainzTocOf(disc));
    const MusicBrainzLookupResult found = MusicBrainzLookup(network, places.musicBrainz, discId,
                                                            within(places.musicBrainzTimeoutMs));
    if (found.names.found())
        return found.names;
    reasons << found.message;

    const DiscNames names = CdTextNames(ReadCdText(driveName), disc);
    if (!names.found())
        reasons << QStringLiteral("CD-Text: none on the disc");
    if (whyNot)
        *whyNot = reasons.join(QStringLiteral("; "));
    return names;
}

QUrl CddbCgiUrl(const QString &server, int port, const QString &path)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(server);
    url.setPort(port);
    url.setPath(path);
    return url;
}

CdTrackFacts TrackFactsOf(const DiscToc &disc, const DiscNames &names, const QByteArray &cover, int track)
{
    CdTrackFacts facts;
    if (!disc.hasTrack(track))
        return facts;
    const int audioTracks = int(std::count(disc.audio.begin(), disc.audio.end(), true));
    const int total = names.trackCount > 0 ? names.trackCount : audioTracks;
    facts.Track = total >= track ? QStringLiteral("%1/%2").arg(track).arg(total) : QString::number(track);
    if (names.discCount > 1 && names.discNumber >= 1)
        facts.Disc = QStringLiteral("%1/%2").arg(names.discNumber).arg(names.discCount);
    facts.Genre = names.genre;
    facts.Year = names.year;
    facts.AlbumArtist = names.artist;
    facts.Cover = cover;
    return facts;
}

} // namespace Sveltra
