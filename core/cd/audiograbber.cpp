#include "core/cd/audiograbber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSaveFile>
#include <QSysInfo>
#include <QtEndian>

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "core/cd/cddbhttp.h"

namespace Sveltra {

namespace {

constexpr int kLeadInFrames = 150;
constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352: 588 stereo frames of 16-bit samples
constexpr int kReadRetries = 20;                   // paranoia's retries per sector before it skips
constexpr qint64 kProgressIntervalMs = 100;

// libcdio's messages go nowhere but this: the last warning or error of the thread, quoted in our
// own messages where it explains a failure.
thread_local QString t_lastCdioMessage;

void CdioLogHandler(cdio_log_level_t level, const char message[])
{
    if (level >= CDIO_LOG_WARN && message)
        t_lastCdioMessage = QString::fromLocal8Bit(message).trimmed();
}

// The log handler is process-wide in libcdio; it is installed once, before the first call.
void SilenceCdioLog()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(&CdioLogHandler); });
}

QString WithCdioReason(const QString &message)
{
    return t_lastCdioMessage.isEmpty() ? message : message + QStringLiteral(" (") + t_lastCdioMessage + QLatin1Char(')');
}

struct CdioDeleter
{
    void operator()(CdIo_t *cdio) const { cdio_destroy(cdio); }
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioDeleter>;

// Closes paranoia's view of the drive; the CdIo_t under it has its own owner.
struct CddaDeleter
{
    void operator()(cdrom_drive_t *drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
using CddaHandle = std::unique_ptr<cdrom_drive_t, CddaDeleter>;

struct ParanoiaDeleter
{
    void operator()(cdrom_paranoia_t *paranoia) const { cdio_paranoia_free(paranoia); }
};
using ParanoiaHandle = std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter>;

bool IsImageName(const QString &driveName)
{
    return driveName.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
}

CdioHandle OpenDrive(const QString &driveName, QString *error)
{
    SilenceCdioLog();
    t_lastCdioMessage.clear();
    const QByteArray name = QFile::encodeName(driveName);
    CdioHandle cdio(IsImageName(driveName) ? cdio_open_cue(name.constData()) : cdio_open(name.constData(), DRIVER_DEVICE));
    if (!cdio && error)
        *error = WithCdioReason(QStringLiteral("cannot open ") + driveName);
    return cdio;
}

// paranoia_read reports what it fixed or gave up on through a callback that takes no context
// pointer; the rip running on this thread points this at its counters for the duration.
struct RipCounters
{
    int skipped = 0;
    int readErrors = 0;
};
thread_local RipCounters *t_ripCounters = nullptr;

void ParanoiaCallback(long, paranoia_cb_mode_t mode)
{
    if (!t_ripCounters)
        return;
    if (mode == PARANOIA_CB_SKIP)
        ++t_ripCounters->skipped;
    else if (mode == PARANOIA_CB_READERR)
        ++t_ripCounters->readErrors;
}

struct CountersScope
{
    explicit CountersScope(RipCounters *counters) { t_ripCounters = counters; }
    ~CountersScope() { t_ripCounters = nullptr; }
    Q_DISABLE_COPY_MOVE(CountersScope)
};

void PutLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void PutLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// The 44-byte RIFF header of a CD-audio WAV with dataBytes of samples.
QByteArray WavHeader(quint32 dataBytes)
{
    QByteArray header;
    header.reserve(44);
    header.append("RIFF", 4);
    PutLe32(header, 36 + dataBytes);
    header.append("WAVEfmt ", 8);
    PutLe32(header, 16);         // fmt chunk size
    PutLe16(header, 1);          // PCM
    PutLe16(header, 2);          // channels
    PutLe32(header, 44100);      // sample rate
    PutLe32(header, 44100 * 4);  // bytes per second
    PutLe16(header, 4);          // bytes per frame
    PutLe16(header, 16);         // bits per sample
    header.append("data", 4);
    PutLe32(header, dataBytes);
    return header;
}

RipResult Failed(const QString &message)
{
    RipResult result;
    result.message = message;
    return result;
}

} // namespace

int DiscToc::sectors(int track) const
{
    if (!hasTrack(track))
        return 0;
    const int index = track - firstTrack;
    const int end = index + 1 < trackCount() ? starts.at(index + 1) : leadout;
    return qMax(0, end - starts.at(index));
}

CddbToc DiscToc::cddbToc() const
{
    CddbToc toc;
    for (const int start : starts)
        toc.offsets.append(start + kLeadInFrames);
    toc.leadout = leadout + kLeadInFrames;
    return toc;
}

DiscToc ReadDiscToc(const QString &driveName, QString *error)
{
    QString reason;
    const CdioHandle cdio = OpenDrive(driveName, &reason);
    DiscToc toc;
    if (cdio) {
        const track_t first = cdio_get_first_track_num(cdio.get());
        const track_t count = cdio_get_num_tracks(cdio.get());
        const lsn_t leadout = cdio_get_track_lsn(cdio.get(), CDIO_CDROM_LEADOUT_TRACK);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || leadout == CDIO_INVALID_LSN) {
            reason = WithCdioReason(QStringLiteral("no disc in ") + driveName);
        } else {
            toc.firstTrack = first;
            toc.leadout = leadout;
            for (int track = first; track < first + count; ++track) {
                const lsn_t start = cdio_get_track_lsn(cdio.get(), track_t(track));
                if (start == CDIO_INVALID_LSN || start < 0 || (!toc.starts.isEmpty() && start <= toc.starts.last())
                    || start >= leadout) {
                    reason = QStringLiteral("unreadable table of contents in ") + driveName;
                    toc = DiscToc();
                    break;
                }
                toc.starts.append(start);
                toc.audio.append(cdio_get_track_format(cdio.get(), track_t(track)) == TRACK_FORMAT_AUDIO);
            }
        }
    }
    if (toc.trackCount() == 0 && error)
        *error = reason;
    return toc;
}

RipResult RipTrackToWav(const QString &driveName, int track, const QString &wavPath,
                        const std::function<bool(int percent)> &progress)
{
    QString reason;
    const CdioHandle cdio = OpenDrive(driveName, &reason);
    if (!cdio)
        return Failed(reason);
    const CddaHandle drive(cdio_cddap_identify_cdio(cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr));
    if (!drive || cdio_cddap_open(drive.get()) != 0)
        return Failed(WithCdioReason(QStringLiteral("no audio disc in ") + driveName));
    if (track < 1 || track > CDIO_CD_MAX_TRACKS || cdio_cddap_track_audiop(drive.get(), track_t(track)) < 0)
        return Failed(QStringLiteral("no track %1 on the disc in %2").arg(track).arg(driveName));
    if (cdio_cddap_track_audiop(drive.get(), track_t(track)) == 0)
        return Failed(QStringLiteral("track %1 of %2 is no audio track").arg(track).arg(driveName));
    const lsn_t firstSector = cdio_cddap_track_firstsector(drive.get(), track_t(track));
    const lsn_t lastSector = cdio_cddap_track_lastsector(drive.get(), track_t(track));
    if (firstSector < 0 || lastSector < firstSector)
        return Failed(QStringLiteral("track %1 of %2 has no sectors").arg(track).arg(driveName));
    const qint64 sectorCount = qint64(lastSector) - firstSector + 1;

    const ParanoiaHandle paranoia(cdio_paranoia_init(drive.get()));
    if (!paranoia)
        return Failed(QStringLiteral("cannot start a secure read of ") + driveName);
    // Full verification; a sector still unreadable after the retries is skipped (and counted)
    // rather than stopping the rip for good.
    cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(paranoia.get(), firstSector, SEEK_SET);

    QSaveFile file(wavPath);
    if (!file.open(QIODevice::WriteOnly))
        return Failed(QStringLiteral("cannot write ") + wavPath + QStringLiteral(": ") + file.errorString());
    if (file.write(WavHeader(quint32(sectorCount * kSectorBytes))) != 44)
        return Failed(QStringLiteral("cannot write ") + wavPath + QStringLiteral(": ") + file.errorString());

    RipResult result;
    RipCounters counters;
    const CountersScope scope(&counters);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int lastPercent = 0;
    if (progress && !progress(0)) {
        result.aborted = true;
        result.message = QStringLiteral("rip aborted");
        return result; // QSaveFile discards the unfinished file
    }
    std::array<qint16, kSectorBytes / 2> swapped{};
    for (qint64 done = 0; done < sectorCount; ++done) {
        const qint16 *samples = cdio_paranoia_read_limited(paranoia.get(), &ParanoiaCallback, kReadRetries);
        if (!samples)
            return Failed(WithCdioReason(QStringLiteral("read error at sector %1 of %2").arg(firstSector + done).arg(driveName)));
        // paranoia hands out samples in the host's byte order (it swaps big-endian images and
        // drives itself); WAV wants little-endian.
        if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
            qToLittleEndian<qint16>(samples, swapped.size(), swapped.data());
            samples = swapped.data();
        }
        if (file.write(reinterpret_cast<const char *>(samples), kSectorBytes) != kSectorBytes)
            return Failed(QStringLiteral("cannot write ") + wavPath + QStringLiteral(": ") + file.errorString());

        const int percent = int((done + 1) * 100 / sectorCount);
        if (progress && (percent != lastPercent || sinceProgress.elapsed() >= kProgressIntervalMs)) {
            lastPercent = percent;
            sinceProgress.restart();
            if (!progress(percent)) {
                result.aborted = true;
                result.message = QStringLiteral("rip aborted");
                return result;
            }
        }
    }
    if (!file.commit())
        return Failed(QStringLiteral("cannot write ") + wavPath + QStringLiteral(": ") + file.errorString());
    result.ok = true;
    result.skippedSectors = counters.skipped;
    if (counters.skipped > 0) {
        result.message = QStringLiteral("%1 sectors of track %2 could not be read exactly").arg(counters.skipped).arg(track);
        qWarning("%s", qPrintable(result.message));
    }
    return result;
}

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

QStringList CdDeviceNames()
{
    SilenceCdioLog();
    QStringList names;
    char **list = cdio_get_devices(DRIVER_DEVICE);
    for (char **device = list; device && *device; ++device) {
        const QString name = QFile::decodeName(*device);
        const QString canonical = QFileInfo(name).canonicalFilePath();
        const QString path = canonical.isEmpty() ? name : canonical;
        if (!names.contains(path))
            names.append(path);
    }
    if (list)
        cdio_free_device_list(list);
    return names;
}

AudioGrabber::AudioGrabber(QObject *parent, bool scanDevices) : QObject(parent)
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
    if (!IsImageName(path)) {
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
    const CddbToc toc = drive->toc.cddbToc();
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
