#include "core/cd/audiograbber.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>

#include "core/cd/cddbhttp.h"

namespace Sveltra {

namespace {

constexpr int kLeadInFrames = 150;

// The table of contents in CDDB terms: frames from the disc's very start, lead-in included.
CddbToc CddbTocOf(const DiscToc &disc)
{
    CddbToc toc;
    for (const int start : disc.starts)
        toc.offsets.append(start + kLeadInFrames);
    toc.leadout = disc.leadout + kLeadInFrames;
    return toc;
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
            m_drives.append(Drive{name, {}, false, {}});
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
    m_drives.append(Drive{path, toc, false, {}});
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
        drive->cddbFound = false;
        drive->cddb = CddbEntry();
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
    drive->cddbFound = false;
    drive->cddb = CddbEntry();
    if (drive->toc.trackCount() == 0 && !RefreshDisc())
        return false;

    const int driveIndex = m_currentDrive;
    const QString driveName = drive->name;
    const CddbToc toc = CddbTocOf(drive->toc);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_querying = true;
    const CddbLookupResult result = CddbLookup(*m_network, CddbUrl(), CddbClient, CddbEmail, toc, CddbTimeoutMs);
    m_querying = false;

    // Events ran during the lookup: find the drive again rather than trusting the pointer.
    if (driveIndex > DriveCount() || m_drives.at(driveIndex - 1).name != driveName)
        return false;
    Drive &looked = m_drives[driveIndex - 1];
    looked.cddbFound = result.found;
    looked.cddb = result.found ? result.entry : CddbEntry();
    if (!result.found) {
        setError(result.message);
        return false;
    }
    m_lastError.clear();
    return true;
}

QString AudioGrabber::CddbArtist() const
{
    const Drive *drive = current();
    return drive ? drive->cddb.artist : QString();
}

QString AudioGrabber::CddbAlbum() const
{
    const Drive *drive = current();
    return drive ? drive->cddb.album : QString();
}

QString AudioGrabber::CddbGenre() const
{
    const Drive *drive = current();
    return drive ? drive->cddb.genre : QString();
}

QString AudioGrabber::CddbTrackTitle() const
{
    const Drive *drive = current();
    return drive ? drive->cddb.trackTitle(m_currentTrack - drive->toc.firstTrack) : QString();
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
