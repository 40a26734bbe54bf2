#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace Sveltra {

// Everything written into a finished file's tag. The run fills it for each row: the four texts
// the job list shows, the source whose own tags and cover go with the audio, and for a CD track
// what the disc's lookup knows.
struct MediaTag
{
    // The row's own cells, trimmed. They win over anything the source says, so nothing the user
    // sees in the list is contradicted.
    QString Title;
    QString Album;
    QString Artist;
    QString Year;

    // The source file whose tags and front cover are carried into the output; empty for a CD
    // track (its texts come from the lookup).
    QString SourcePath;

    // What the run knows better than the source (a CD track's lookup); empty leaves the source's
    // value, if any.
    QString Track; // "3/12"
    QString Disc;  // "1/2"
    QString Genre;
    QString AlbumArtist;
    QByteArray Cover; // a front cover image of any common format (a disc's); made small when written

    // The mark by which a later run knows which source and profile made the file.
    QString SourceStamp;

    // Further user text frames (TXXX), description and value: measured loudness and the like.
    QList<QPair<QString, QString>> UserTexts;
};

} // namespace Sveltra
