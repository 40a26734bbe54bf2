#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "core/cd/cddrive.h"
#include "core/cd/discnames.h"

class QNetworkAccessManager;

namespace Sveltra {

// Where a disc's names are asked for, and how long each may take.
struct DiscLookupPlaces
{
    QUrl cddb; // the CDDB CGI's full address
    QString cddbClient;
    QString cddbEmail;
    int cddbTimeoutMs = 10000;
    QUrl musicBrainz;
    int musicBrainzTimeoutMs = 10000;
    int limitMs = 19000; // every source together
};

// The names of a disc: CDDB's, else MusicBrainz's, else the disc's own CD-Text; nothing found
// when none knows it, whyNot then saying what each answered. Blocks (the event loop runs) for at
// most places.limitMs.
DiscNames LookUpDisc(QNetworkAccessManager &network, const DiscLookupPlaces &places, const QString &driveName,
                     const DiscToc &disc, QString *whyNot);

// The CGI address of a CDDB server.
QUrl CddbCgiUrl(const QString &server, int port, const QString &path);

// What the lookup of a drive's disc knows of one track, as plain values for a tag: the track number
// and the disc's track count ("3/12"), the disc's place in a set of several ("1/2"), genre, year,
// the disc artist (the album artist) and the disc's cover. Empty where nothing is known.
struct CdTrackFacts
{
    QString Track;
    QString Disc;
    QString Genre;
    QString Year;
    QString AlbumArtist;
    QByteArray Cover;
};

// The facts of a track of disc; nothing when the disc has no such track.
CdTrackFacts TrackFactsOf(const DiscToc &disc, const DiscNames &names, const QByteArray &cover, int track);

} // namespace Sveltra
