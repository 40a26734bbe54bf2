#pragma once

// CD drives and CD images as libcdio and libcdio-paranoia see them: the machine's drives, a
// disc's table of contents and the secure rip of one track to WAV. Every call opens its own
// handle, so each is thread-safe; nothing here keeps state between calls (AudioGrabber does).
//
// A drive is named by its device path (/dev/sr0) or by the path of a .cue sheet, whose BINARY or
// MOTOROLA data file is resolved against the sheet's folder.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace Sveltra {

// A disc's table of contents as read from a drive or image. Sectors are counted from the first
// sector after the 2 s lead-in (sector 0 is 00:02:00 on the disc); 75 sectors make a second.
struct DiscToc
{
    int firstTrack = 1;
    QList<int> starts; // first sector of each track, in track order (track firstTrack + i at i)
    QList<bool> audio; // whether that track is audio
    int leadout = 0;   // first sector after the last track

    int trackCount() const { return int(starts.size()); }
    bool hasTrack(int track) const { return track >= firstTrack && track < firstTrack + trackCount(); }
    bool isAudio(int track) const { return hasTrack(track) && audio.at(track - firstTrack); }
    // Sectors from the track's start to the next track's start (or the lead-out); 0 for no such track.
    int sectors(int track) const;
    // sectors × 1000 / 75.
    int lengthMs(int track) const { return int(qint64(sectors(track)) * 1000 / 75); }
    bool operator==(const DiscToc &other) const = default;
};

// Whether a drive name names a .cue image rather than a device.
bool IsCueSheetName(const QString &driveName);

// The machine's CD drives, as device paths (symbolic links such as /dev/cdrom resolved, each drive
// once).
QStringList CdDeviceNames();

// Reads the table of contents of a drive or of a .cue image. Returns an empty table
// (trackCount() 0) and the reason in *error when there is no disc or the image cannot be read.
DiscToc ReadDiscToc(const QString &driveName, QString *error = nullptr);

// The CD-Text of a disc or .cue image: one language block (Chinese when the disc has one, else
// the first that holds any text), every text turned into Unicode from the block's character
// code. A drive's packs, or those of the file a .cue sheet names with CDTEXTFILE, are decoded
// here (CdTextFromPacks); otherwise libcdio's texts are taken (a .cue sheet's TITLE and
// PERFORMER lines are read as ISO 8859-1). Index 0 holds the disc's own field, index n track n's; a field the
// block lacks is empty.
struct CdTextBlock
{
    int language = -1; // the block's language code (0x75 Chinese, 0x09 English ...); -1 without CD-Text
    QStringList titles;
    QStringList performers;
    QString genre; // the disc's genre: its text, else the name of its genre code

    bool isEmpty() const;
};

// The CD-Text of a drive's disc or of a .cue image; empty when it has none or cannot be read.
CdTextBlock ReadCdText(const QString &driveName);

struct RipResult
{
    bool ok = false;
    bool aborted = false;   // stopped because progress returned false
    int skippedSectors = 0; // sectors paranoia gave up on after its retries (ok stays true)
    QString message;        // why it failed, or what was not read exactly
};

// Rips one track of a drive or .cue image into a WAV file (RIFF, PCM 44.1 kHz 16-bit stereo,
// little-endian samples exactly as on the disc, also from big-endian images) through paranoia.
// The file is written under a temporary name in the same folder and renamed to wavPath only when
// complete: an abort or a failure leaves no file and no half file behind. progress (optional) is
// called with 0..100 at least every 100 ms of ripping and at every percent; returning false
// aborts. Meant for a worker thread while the user-interface thread keeps running (progress is
// called on that worker thread).
RipResult RipTrackToWav(const QString &driveName, int track, const QString &wavPath,
                        const std::function<bool(int percent)> &progress = {});

} // namespace Sveltra
