#include "core/cd/audiograbber.h"

#include <QNetworkAccessManager>

#include "core/cd/musicbrainz.h"
#include "core/cd/musicbrainzhttp.h"

namespace Sveltra {

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
            m_drives.add(name);
    }
    m_currentDrive = DriveCount() == 0 ? 0 : 1;
}

AudioGrabber::~AudioGrabber() = default;

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

int AudioGrabber::OpenImage(const QString &cuePath)
{
    QString error;
    const int index = m_drives.openImage(cuePath, &error);
    if (index == 0)
        setError(error);
    return index;
}

bool AudioGrabber::RefreshDisc()
{
    QString error;
    const bool read = m_drives.refresh(m_currentDrive, &error);
    setError(read ? QString() : error);
    return read;
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
    if (m_querying || !m_drives.find(m_currentDrive)) {
        setError(m_querying ? QStringLiteral("a CDDB lookup is already running") : QStringLiteral("no drive selected"));
        return false;
    }
    m_drives.find(m_currentDrive)->names = DiscNames();
    if (TrackCount() == 0 && !RefreshDisc())
        return false;
    const QString driveName = DriveName();
    const DiscToc disc = shown().toc;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    const DiscLookupPlaces places{CddbUrl(),        CddbClient,           CddbEmail,    CddbTimeoutMs,
                                  MusicBrainzUrl(), MusicBrainzTimeoutMs, LookupLimitMs};
    QString whyNot;
    m_querying = true;
    const DiscNames names = LookUpDisc(*m_network, places, driveName, disc, &whyNot);
    m_querying = false;

    // Events ran during the lookup: find the drive again rather than trusting a pointer.
    const int index = m_drives.holding(driveName, disc);
    if (index == 0)
        return false;
    m_drives.find(index)->names = names;
    setError(names.found() ? QString() : whyNot);
    if (names.found())
        startCoverFetch(index);
    return names.found();
}

void AudioGrabber::startCoverFetch(int driveIndex)
{
    CdDriveList::Drive &drive = *m_drives.find(driveIndex);
    const QString release = drive.names.releaseId;
    if (drive.names.source != NamesSource::MusicBrainz || release.isEmpty() || !drive.names.releaseHasFront)
        return;
    if (drive.coverRelease == release)
        return; // fetched, or on its way, once per disc
    drive.cover.clear();
    drive.coverRelease = release;
    FetchCover(*m_network, CoverArtFrontUrl(CoverArtUrl(), release), CoverTimeoutMs, this,
               [this, name = drive.name, disc = drive.toc, release](const QByteArray &image) {
                   const int index = m_drives.holding(name, disc);
                   CdDriveList::Drive *target = m_drives.find(index);
                   if (!target || target->coverRelease != release)
                       return;
                   if (image.isEmpty()) {
                       target->coverRelease.clear(); // a later lookup may try again
                       return;
                   }
                   target->cover = image;
                   emit CoverArrived(index);
               });
}

bool AudioGrabber::RipTrack(const QString &basePath)
{
    if (m_ripping || !m_drives.find(m_currentDrive)) {
        setError(m_ripping ? QStringLiteral("a rip is already running") : QStringLiteral("no drive selected"));
        return false;
    }
    m_ripping = true;
    m_abortRequested = false;
    const RipResult result = RipTrackToWav(DriveName(), m_currentTrack, basePath + QStringLiteral(".wav"), [this](int percent) {
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
