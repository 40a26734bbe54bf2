#pragma once

// The CD component: audio CDs and CD images as numbered drives with their tables of contents,
// the rip of a track to WAV and disc titles from CDDB, MusicBrainz or CD-Text. The drives
// themselves are read through core/cd/cddrive.h (libcdio and libcdio-paranoia) and kept in
// core/cd/drivelist.h; a disc's names are looked up by core/cd/disclookup.h.
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
//   // Titles: write the CDDB settings (the defaults are ours), then look the current drive up:
//   // CDDB, then MusicBrainz, then the disc's own CD-Text, the first that knows the disc.
//   grabber.QueryCddb(0);                        // blocks for at most 19 s, windows keep painting
//   grabber.SetCurrentTrack(3);
//   title = grabber.CddbTrackTitle();            // also CddbArtist(), CddbAlbum(), CddbGenre()
//   from = grabber.NamesFrom();                  // which source named the disc
//
//   // When the run starts a CD track: its track and disc numbers, year, album artist and cover.
//   const CdTrackFacts facts = grabber.TrackFacts(driveName, 3);
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
#include <QUrl>

#include "core/cd/cddrive.h"
#include "core/cd/disclookup.h"
#include "core/cd/discnames.h"
#include "core/cd/drivelist.h"

class QNetworkAccessManager;

namespace Sveltra {

// The number at the start of a path's last six characters ("Track03.cda" gives 3, "Track12.cda"
// 12); 0 when those characters do not start with a digit.
int CdTrackNumber(const QString &path);

// The file name under which a track is listed: "Track" and at least two digits, ".cda".
QString CdTrackFileName(int track);

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
    int DriveCount() const { return m_drives.count(); }
    int CurrentDrive() const { return m_currentDrive; } // 0 when there is no drive
    void SetCurrentDrive(int drive);                    // 1..DriveCount; other values are refused
    QString DriveName() const { return shown().name; }  // the device path or the .cue image's path

    // Opens a .cue sheet (its BINARY or MOTOROLA data file resolved against the sheet's folder) as
    // a drive and reads its table of contents. Returns the drive's index, the same index when the
    // image is already open (call RefreshDisc to read it again), or 0 when it cannot be read (see
    // lastError()). The selected drive does not change.
    int OpenImage(const QString &cuePath);

    // The drive whose name is the folder (e.g. "/dev/sr0" or ".../best.cue"); 0 when none is.
    int DriveIndexFor(const QString &folder) const { return m_drives.indexFor(folder); }

    // Disc information of the current drive; 0 / false / empty while none is loaded for it.
    int TrackCount() const { return shown().toc.trackCount(); }
    int FirstTrack() const { return TrackCount() > 0 ? shown().toc.firstTrack : 0; } // 1 on audio CDs
    int CurrentTrack() const { return m_currentTrack; }
    void SetCurrentTrack(int track) { m_currentTrack = track; } // any number; a track the disc lacks reads as length 0
    int TrackLength() const { return shown().toc.lengthMs(m_currentTrack); } // of the current track, in milliseconds
    bool TrackIsAudio() const { return shown().toc.isAudio(m_currentTrack); }

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
    QUrl CddbUrl() const { return m_cddbBaseUrl.isEmpty() ? CddbCgiUrl(CddbServer, CddbPort, CddbPath) : m_cddbBaseUrl; }
    int CddbTimeoutMs = 10000; // for the whole exchange

    // MusicBrainz, asked when CDDB does not know a disc, and the Cover Art Archive, asked for the
    // front cover of the release MusicBrainz names. Without an address set here the environment's
    // or the build's is used (see core/cd/musicbrainz.h); an empty URL restores that.
    void SetMusicBrainzBaseUrl(const QUrl &url) { m_musicBrainzBaseUrl = url; }
    void SetCoverArtBaseUrl(const QUrl &url) { m_coverArtBaseUrl = url; }
    QUrl MusicBrainzUrl() const;
    QUrl CoverArtUrl() const;
    int MusicBrainzTimeoutMs = 10000;
    int CoverTimeoutMs = 10000;
    // The whole lookup, every source together, ends within this.
    int LookupLimitMs = 19000;

    // Looks the current drive's disc up (the argument is ignored): in CDDB, and when CDDB does not
    // know it (unknown, no answer, no network) in MusicBrainz, and when that does not either in the
    // disc's CD-Text. Returns true when one of them named the disc; the drive's texts are replaced
    // either way (emptied when none did). Blocks the caller for at most CddbTimeoutMs and then
    // MusicBrainzTimeoutMs, LookupLimitMs in all, while the event loop keeps windows painted (user
    // input waits until the lookup is over). When MusicBrainz names a release with a front cover,
    // the cover is fetched in the background once per disc (CoverArrived). Loads the disc
    // information first when none is loaded.
    bool QueryCddb(int unused = 0);
    // The current drive's names, from whichever source named the disc (NamesFrom).
    QString CddbArtist() const { return shown().names.artist; }
    QString CddbAlbum() const { return shown().names.album; }
    QString CddbGenre() const { return shown().names.genre; }
    // Of the current track; empty when the entry has none.
    QString CddbTrackTitle() const { return shown().names.trackTitle(m_currentTrack - shown().toc.firstTrack); }
    QString CddbYear() const { return shown().names.year; }
    // The source of the current drive's texts; None when nothing named it.
    NamesSource NamesFrom() const { return shown().names.source; }
    // The current drive's disc cover; empty until one has arrived.
    QByteArray DiscCover() const { return shown().cover; }

    // What the lookup of the drive's disc knows of one track; nothing when no drive has that name
    // or its disc has no table of contents or no such track.
    CdTrackFacts TrackFacts(const QString &driveName, int track) const
    {
        const CdDriveList::Drive &drive = m_drives.at(m_drives.indexFor(driveName));
        return TrackFactsOf(drive.toc, drive.names, drive.cover, track);
    }

    // Rips the current track of the current drive into basePath + ".wav" on the calling thread and
    // returns when done: RipProgress is emitted meanwhile (a handler may let events run and call
    // AbortRip, which makes the rip stop and RipTrack return false with no file left behind).
    bool RipTrack(const QString &basePath);
    void AbortRip() { m_abortRequested = true; }

    // Why the last OpenImage, RefreshDisc, QueryCddb or RipTrack failed.
    const QString &lastError() const { return m_lastError; }

signals:
    void RipProgress(int percent);
    // A disc cover arrived for the drive (1-based).
    void CoverArrived(int drive);

private:
    const CdDriveList::Drive &shown() const { return m_drives.at(m_currentDrive); }
    void setError(const QString &message);
    void startCoverFetch(int driveIndex);

    CdDriveList m_drives;
    int m_currentDrive = 0;
    int m_currentTrack = 0;
    QUrl m_cddbBaseUrl;
    QUrl m_musicBrainzBaseUrl;
    QUrl m_coverArtBaseUrl;
    QNetworkAccessManager *m_network = nullptr;
    bool m_querying = false;
    bool m_ripping = false;
    bool m_abortRequested = false;
    QString m_lastError;
};

} // namespace Sveltra
