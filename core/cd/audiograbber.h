#pragma once

// Audio CDs and CD images: drives, tables of contents, secure ripping to WAV (libcdio and
// libcdio-paranoia) and disc titles from CDDB over HTTP.
//
// How the pieces are meant to be used:
//
//   AudioGrabber grabber;                        // lists the machine's CD drives (/dev/sr0 ...)
//   int image = grabber.OpenImage(cuePath);      // a .cue sheet becomes one more drive (0 = failed)
//
//   // A folder in the file browser is a drive: list its tracks with their lengths.
//   grabber.SetCurrentDrive(grabber.DriveIndexFor(folder));
//   if (grabber.TrackCount() == 0)
//       grabber.RefreshDisc();                   // reads the table of contents
//   for (int n = grabber.FirstTrack(); n < grabber.FirstTrack() + grabber.TrackCount(); ++n) {
//       grabber.SetCurrentTrack(n);
//       if (grabber.TrackIsAudio())
//           show(CdTrackFileName(n), grabber.TrackLength());   // "Track03.cda", milliseconds
//   }
//
//   // Titles: write the CDDB settings (the defaults are ours), then look the current drive up.
//   grabber.QueryCddb(0);                        // blocks for at most 10 s, windows keep painting
//   grabber.SetCurrentTrack(3);
//   title = grabber.CddbTrackTitle();            // also CddbArtist(), CddbAlbum(), CddbGenre()
//
//   // Ripping during a run, on a worker thread: no grabber object is touched there.
//   RipResult r = RipTrackToWav(grabber.DriveName(), 3, wavPath, [&](int percent) {
//       post percent to the window;
//       return !cancelRequested.load();        // false stops the rip within a second
//   });
//
// A path of a CD track is the drive's name, the separator and the track's file name
// (/dev/sr0/Track03.cda, /home/me/discs/best.cue/Track03.cda): the drive is
// DriveIndexFor(the path's folder), the track CdTrackNumber(path).

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

#include "core/cd/cddb.h"

class QNetworkAccessManager;

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
    // The same contents in CDDB terms (frames from the disc's very start, lead-in included).
    CddbToc cddbToc() const;
    bool operator==(const DiscToc &other) const = default;
};

// Reads the table of contents of a drive (a device path such as /dev/sr0) or of a .cue image.
// Returns an empty table (trackCount() 0) and the reason in *error when there is no disc or the
// image cannot be read. Thread-safe: opens its own handle.
DiscToc ReadDiscToc(const QString &driveName, QString *error = nullptr);

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
// aborts. Thread-safe: opens its own libcdio handle, so call it on a worker thread while the
// user-interface thread keeps running (progress is called on that worker thread).
RipResult RipTrackToWav(const QString &driveName, int track, const QString &wavPath,
                        const std::function<bool(int percent)> &progress = {});

// The number at the start of a path's last six characters ("Track03.cda" gives 3, "Track12.cda"
// 12); 0 when those characters do not start with a digit.
int CdTrackNumber(const QString &path);

// The file name under which a track is listed: "Track" and at least two digits, ".cda".
QString CdTrackFileName(int track);

// The machine's CD drives, as device paths (symbolic links such as /dev/cdrom resolved, each drive
// once).
QStringList CdDeviceNames();

// The CD component of the program: a numbered list of drives (1-based: the machine's drives,
// then every image opened), a selected drive and track, the disc information of each drive, a rip
// of the selected track and the CDDB texts of each drive's disc. Like a component it keeps its
// state: a drive or track stays selected until changed, and each drive keeps the disc information
// and CDDB texts last read for it. User-interface thread only (ripping on another thread goes
// through RipTrackToWav).
class AudioGrabber final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioGrabber)

public:
    // Lists the machine's CD drives; the first (if any) is selected. scanDevices false starts with
    // no machine drives (images only).
    explicit AudioGrabber(QObject *parent = nullptr, bool scanDevices = true);
    ~AudioGrabber() override;

    // Drives.
    int DriveCount() const { return int(m_drives.size()); }
    int CurrentDrive() const { return m_currentDrive; } // 0 when there is no drive
    void SetCurrentDrive(int drive);                    // 1..DriveCount; other values are refused
    QString DriveName() const;                          // the device path or the .cue image's path

    // Opens a .cue sheet (its BINARY or MOTOROLA data file resolved against the sheet's folder) as
    // a drive and reads its table of contents. Returns the drive's index, the same index when the
    // image is already open (call RefreshDisc to read it again), or 0 when it cannot be read (see
    // lastError()). The selected drive does not change.
    int OpenImage(const QString &cuePath);

    // The drive whose name is the folder (e.g. "/dev/sr0" or ".../best.cue"); 0 when none is.
    int DriveIndexFor(const QString &folder) const;

    // Disc information of the current drive; 0 / false / empty while none is loaded for it.
    int TrackCount() const;
    int FirstTrack() const; // number of the disc's first track (1 on audio CDs)
    int CurrentTrack() const { return m_currentTrack; }
    void SetCurrentTrack(int track) { m_currentTrack = track; } // any number; a track the disc lacks reads as length 0
    int TrackLength() const; // of the current track, in milliseconds
    bool TrackIsAudio() const;

    // Re-reads the disc in the current drive. The CDDB texts are kept when the disc is the same
    // (same table of contents) and dropped otherwise. Returns false when no disc could be read;
    // TrackCount() is then 0.
    bool RefreshDisc();
    // Accepted and kept; they have no effect on this grabber.
    int DiscSetting1 = 0;
    int DiscSetting2 = 0;
    int DiscSetting3 = 0;

    // CDDB settings: the requests go to http://CddbServer:CddbPort CddbPath, greeting with CddbClient
    // ("name version") and CddbEmail. CddbNumber is accepted and kept; it has no effect.
    QString CddbServer = QStringLiteral("gnudb.gnudb.org");
    int CddbPort = 80;
    QString CddbPath = QStringLiteral("/~cddb/cddb.cgi");
    QString CddbClient = QStringLiteral("Sveltra V4.0");
    QString CddbEmail = QStringLiteral("support@sveltra.example");
    int CddbNumber = 7000;
    // When set, the CGI's full address used instead of server, port and path (tests point it at a
    // peer on 127.0.0.1). An empty URL restores the settings.
    void SetCddbBaseUrl(const QUrl &url) { m_cddbBaseUrl = url; }
    QUrl CddbUrl() const;
    int CddbTimeoutMs = 10000; // for the whole exchange

    // Looks the current drive's disc up (the argument is ignored). Returns true when it was found;
    // the drive's CDDB texts are replaced either way (emptied when not found). Blocks the caller for
    // at most CddbTimeoutMs while the event loop keeps windows painted (user input waits until the
    // lookup is over). Loads the disc information first when none is loaded.
    bool QueryCddb(int unused = 0);
    QString CddbArtist() const;
    QString CddbAlbum() const;
    QString CddbGenre() const;
    QString CddbTrackTitle() const; // of the current track; empty when the entry has none

    // Rips the current track of the current drive into basePath + ".wav" on the calling thread and
    // returns when done: RipProgress is emitted meanwhile (a handler may let events run and call
    // AbortRip, which makes the rip stop and RipTrack return false with no file left behind).
    bool RipTrack(const QString &basePath);
    void AbortRip() { m_abortRequested = true; }

    // Why the last OpenImage, RefreshDisc, QueryCddb or RipTrack failed.
    const QString &lastError() const { return m_lastError; }

signals:
    void RipProgress(int percent);

private:
    struct Drive
    {
        QString name;
        DiscToc toc;
        bool cddbFound = false;
        CddbEntry cddb;
    };

    const Drive *current() const;
    Drive *current();
    void setError(const QString &message);

    QList<Drive> m_drives;
    int m_currentDrive = 0;
    int m_currentTrack = 0;
    QUrl m_cddbBaseUrl;
    QNetworkAccessManager *m_network = nullptr;
    bool m_querying = false;
    bool m_ripping = false;
    bool m_abortRequested = false;
    QString m_lastError;
};

} // namespace Sveltra
