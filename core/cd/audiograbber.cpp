#include "core/cd/audiograbber.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>

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

int CdTrackNumber(const QString &path)
{
    const QString tail = path.right(6);
    int number = 0;
    for (const QChar c : tail) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || number > 100000)
            break;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

QString CdTrackFileName(int track)
{
    return QStringLiteral("Track%1.cda").arg(track, 2, 10, QLatin1Char('0'));
}

AudioGrabber::AudioGrabber(QObject *parent, bool scanDevices)
    : QObject(parent)
{
    if (scanDevices) {
        for (const QString &name : CdDeviceNames())
            m_drives.append(Drive{name, {}, {}, {}, {}});
    }
    m_currentDrive = m_drives.isEmpty() ? 0 : 1;
}

AudioGrabber::~AudioGrabber() = default;

const AudioGrabber::Drive *AudioGrabber::current() const
{
    return m_currentDrive >= 1 && m_currentDrive <= m_drives.size() ? &m_drives.at(m_currentDrive - 1) : nullptr;
}

AudioGrabber::Drive *AudioGrabber::current()
{
    return m_currentDrive >= 1 && m_currentDrive <= m_drives.size() ? &m_drives[m_currentDrive - 1] : nullptr;
}

void AudioGrabber::setError(const QString &message)
{
    m_lastError = message;
    if (!message.isEmpty())
        qWarning("AudioGrabber: %s", qPrintable(message));
}

void AudioGrabber::SetCurrentDrive(int drive)
{
    if (drive < 1 || drive > DriveCount()) {
        qWarning("AudioGrabber: no drive %d (there are %d)", drive, DriveCount());
        return;
    }
    m_currentDrive = drive;
}

QString AudioGrabber::DriveName() const
{
    const Drive *drive = current();
    return drive ? drive->name : QString();
}

int AudioGrabber::OpenImage(const QString &cuePath)
{
    const QString path = QDir::cleanPath(QFileInfo(cuePath).absoluteFilePath());
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).name == path)
            return i + 1;
    }
    if (!IsCueSheetName(path)) {
        setError(path + QStringLiteral(" is no .cue sheet"));
        return 0;
    }
    QString error;
    const DiscToc toc = ReadDiscToc(path, &error);
    if (toc.trackCount() == 0) {
        setError(error);
        return 0;
    }
    m_drives.append(Drive{path, toc, {}, {}, {}});
    return DriveCount();
}

int AudioGrabber::DriveIndexFor(const QString &folder) const
{
    if (folder.isEmpty())
        return 0;
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).name == path || m_drives.at(i).name == folder)
            return i + 1;
    }
    return 0;
}

int AudioGrabber::TrackCount() const
{
    const Drive *drive = current();
    return drive ? drive->toc.trackCount() : 0;
}

int AudioGrabber::FirstTrack() const
{
    const Drive *drive = current();
    return drive && drive->toc.trackCount() > 0 ? drive->toc.firstTrack : 0;
}

int AudioGrabber::TrackLength() const
{
    const Drive *drive = current();
    return drive ? drive->toc.lengthMs(m_currentTrack) : 0;
}

bool AudioGrabber::TrackIsAudio() const
{
    const Drive *drive = current();
    return drive && drive->toc.isAudio(m_currentTrack);
}

bool AudioGrabber::RefreshDisc()
{
    Drive *drive = current();
    if (!drive) {
        setError(QStringLiteral("no drive selected"));
        return false;
    }
    QString error;
    const DiscToc toc = ReadDiscToc(drive->name, &error);
    if (!(toc == drive->toc)) {
        drive->names = DiscNames();
        drive->cover.clear();
        drive->coverRelease.clear();
    }
    drive->toc = toc;
    m_lastError.clear();
    if (toc.trackCount() == 0) {
        setError(error);
        return false;
    }
    return true;
}

QUrl AudioGrabber::CddbUrl() const
{
    if (!m_cddbBaseUrl.isEmpty())
        return m_cddbBaseUrl;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(CddbServer);
    url.setPort(CddbPort);
    url.setPath(CddbPath);
    return url;
}

QUrl AudioGrabber::MusicBrainzUrl() const
{
    return m_musicBrainzBaseUrl.isEmpty() ? MusicBrainzBaseUrl() : m_musicBrainzBaseUrl;
}

QUrl AudioGrabber::CoverArtUrl() const
{
    return m_coverArtBaseUrl.isEmpty() ? CoverArtBaseUrl() : m_coverArtBaseUrl;
}

bool AudioGrabber::QueryCddb(int)
{
    if (m_querying) {
        setError(QStringLiteral("a CDDB lookup is already running"));
        return false;
    }
    Drive *drive = current();
    if (!drive) {
        setError(QStringLiteral("no drive selected"));
        return false;
    }
    drive->names = DiscNames();
    if (drive->toc.trackCount() == 0 && !RefreshDisc())
        return false;

    const int driveIndex = m_currentDrive;
    const QString driveName = drive->name;
    const DiscToc disc = drive->toc;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    const QDeadlineTimer limit(qMax(0, LookupLimitMs));
    m_querying = true;
    QStringList reasons;
    DiscNames names;
    const CddbLookupResult cddb = CddbLookup(*m_network, CddbUrl(), CddbClient, CddbEmail, CddbTocOf(disc),
                                             int(qMin<qint64>(CddbTimeoutMs, limit.remainingTime())));
    if (cddb.found)
        names = NamesOf(cddb.entry);
    else
        reasons << cddb.message;
    if (!names.found()) {
        const QString discId = MusicBrainzDiscId(MusicBrainzTocOf(disc));
        const MusicBrainzLookupResult found = MusicBrainzLookup(*m_network, MusicBrainzUrl(), discId,
                                                                int(qMin<qint64>(MusicBrainzTimeoutMs, limit.remainingTime())));
        if (found.names.found())
            names = found.names;
        else
            reasons << found.message;
    }
    if (!names.found()) {
        names = CdTextNames(ReadCdText(driveName), disc);
        if (!names.found())
            reasons << QStringLiteral("CD-Text: none on the disc");
    }
    m_querying = false;

    // Events ran during the lookup: find the drive again rather than trusting the pointer.
    if (driveIndex > DriveCount() || m_drives.at(driveIndex - 1).name != driveName || !(m_drives.at(driveIndex - 1).toc == disc))
        return false;
    Drive &looked = m_drives[driveIndex - 1];
    looked.names = names;
    if (!names.found()) {
        setError(reasons.join(QStringLiteral("; ")));
        return false;
    }
    m_lastError.clear();
    startCoverFetch(driveIndex);
    return true;
}

void AudioGrabber::startCoverFetch(int driveIndex)
{
    Drive &drive = m_drives[driveIndex - 1];
    const QString release = drive.names.releaseId;
    if (drive.names.source != NamesSource::MusicBrainz || release.isEmpty() || !drive.names.releaseHasFront)
        return;
    if (drive.coverRelease == release)
        return; // fetched, or on its way, once per disc
    drive.cover.clear();
    drive.coverRelease = release;
    const QString name = drive.name;
    const DiscToc disc = drive.toc;
    FetchCover(*m_network, CoverArtFrontUrl(CoverArtUrl(), release), CoverTimeoutMs, this,
               [this, name, disc, release](const QByteArray &image) {
                   for (int i = 0; i < m_drives.size(); ++i) {
                       Drive &target = m_drives[i];
                       if (target.name != name || !(target.toc == disc) || target.coverRelease != release)
                           continue;
                       if (image.isEmpty()) {
                           target.coverRelease.clear(); // a later lookup may try again
                           return;
                       }
                       target.cover = image;
                       emit CoverArrived(i + 1);
                       return;
                   }
               });
}

QString AudioGrabber::CddbArtist() const
{
    const Drive *drive = current();
    return drive ? drive->names.artist : QString();
}

QString AudioGrabber::CddbAlbum() const
{
    const Drive *drive = current();
    return drive ? drive->names.album : QString();
}

QString AudioGrabber::CddbGenre() const
{
    const Drive *drive = current();
    return drive ? drive->names.genre : QString();
}

QString AudioGrabber::CddbTrackTitle() const
{
    const Drive *drive = current();
    return drive ? drive->names.trackTitle(m_currentTrack - drive->toc.firstTrack) : QString();
}

QString AudioGrabber::CddbYear() const
{
    const Drive *drive = current();
    return drive ? drive->names.year : QString();
}

NamesSource AudioGrabber::NamesFrom() const
{
    const Drive *drive = current();
    return drive ? drive->names.source : NamesSource::None;
}

QByteArray AudioGrabber::DiscCover() const
{
    const Drive *drive = current();
    return drive ? drive->cover : QByteArray();
}

CdTrackFacts AudioGrabber::TrackFacts(const QString &driveName, int track) const
{
    CdTrackFacts tag;
    const int index = DriveIndexFor(driveName);
    if (index == 0)
        return tag;
    const Drive &drive = m_drives.at(index - 1);
    if (!drive.toc.hasTrack(track))
        return tag;
    const DiscNames &names = drive.names;
    const int audioTracks = int(std::count(drive.toc.audio.begin(), drive.toc.audio.end(), true));
    const int total = names.trackCount > 0 ? names.trackCount : audioTracks;
    const int number = track;
    tag.Track = total >= number ? QStringLiteral("%1/%2").arg(number).arg(total) : QString::number(number);
    if (names.discCount > 1 && names.discNumber >= 1)
        tag.Disc = QStringLiteral("%1/%2").arg(names.discNumber).arg(names.discCount);
    if (!names.genre.isEmpty())
        tag.Genre = names.genre;
    tag.Year = names.year;
    if (!names.artist.isEmpty())
        tag.AlbumArtist = names.artist;
    if (!drive.cover.isEmpty())
        tag.Cover = drive.cover;
    return tag;
}

bool AudioGrabber::RipTrack(const QString &basePath)
{
    if (m_ripping) {
        setError(QStringLiteral("a rip is already running"));
        return false;
    }
    const Drive *drive = current();
    if (!drive) {
        setError(QStringLiteral("no drive selected"));
        return false;
    }
    m_ripping = true;
    m_abortRequested = false;
    const RipResult result = RipTrackToWav(drive->name, m_currentTrack, basePath + QStringLiteral(".wav"), [this](int percent) {
        emit RipProgress(percent);
        return !m_abortRequested;
    });
    m_ripping = false;
    m_abortRequested = false;
    if (!result.ok) {
        setError(result.message);
        return false;
    }
    m_lastError = result.message;
    return true;
}

} // namespace Sveltra
