#pragma once

// CD images made at test time: tones from sox as raw 16-bit samples, each track padded to whole
// 2352-byte sectors, one data file and a .cue sheet naming it. The samples are kept, little-endian,
// so a rip can be compared byte for byte.

#include <QByteArray>
#include <QList>
#include <QString>

namespace TestCd {

constexpr int kSectorBytes = 2352;

struct Tone
{
    double seconds;
    int frequency;
};

struct Image
{
    QString cuePath;
    QString binPath;
    QByteArray samples; // the whole image, little-endian
    QList<int> starts;  // INDEX 01 of each track, in sectors
    QList<int> pregaps; // INDEX 00 of each track, or -1

    int sectors() const { return int(samples.size() / kSectorBytes); }
    // What a rip of the track holds: from its INDEX 01 to the next track's INDEX 01 (so the next
    // track's pregap included) or the end.
    int trackSectors(int track) const;
    QByteArray trackSamples(int track) const;
};

// CD-Text lines of a sheet, as raw bytes in whatever character code the test wants (UTF-8, GBK,
// ISO 8859-1 ...): the disc's TITLE and PERFORMER before the data file, each track's TITLE under
// it. Empty fields are left out.
struct CueText
{
    QByteArray title;
    QByteArray performer;
    QList<QByteArray> trackTitles;
};

// Writes <dir>/<name>.bin and <dir>/<name>.cue (the sheet names the data file by its bare name,
// relative to the sheet). Track pregapTrack (> 1) gets pregapSectors of a 220 Hz tone as its
// INDEX 00 before its INDEX 01. motorola writes big-endian samples. text adds CD-Text lines.
bool MakeImage(Image *image, const QString &dir, const QString &name, const QList<Tone> &tones, bool motorola,
               int pregapTrack = 0, int pregapSectors = 0, const CueText &text = {});

} // namespace TestCd
