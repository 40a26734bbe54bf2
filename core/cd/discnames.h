#pragma once

// The names of a disc as one source knows them (CDDB, MusicBrainz or the disc's own CD-Text):
// what the grabber reports for each track and what a CD track's tag gets. Plain values, any thread.

#include <QString>
#include <QStringList>

namespace Sveltra {

enum class NamesSource { None, Cddb, MusicBrainz, CdText };

// "CDDB", "MusicBrainz", "CD-Text"; empty for None.
QString NamesSourceName(NamesSource source);

struct DiscNames
{
    NamesSource source = NamesSource::None;
    QString artist; // the disc's artist (album artist)
    QString album;
    QString genre;
    QString year;            // four digits, or empty
    QStringList trackTitles; // [0] is the disc's first track
    int trackCount = 0;      // the release's tracks on this disc; 0 when the source does not say
    int discNumber = 0;      // position of this disc in its release, and the release's discs;
    int discCount = 0;       // 0 when the source does not say
    QString releaseId;       // the MusicBrainz release, whose cover may be fetched
    bool releaseHasFront = false;

    bool found() const { return source != NamesSource::None; }
    QString trackTitle(int index) const { return index >= 0 && index < trackTitles.size() ? trackTitles.at(index) : QString(); }
};

} // namespace Sveltra
