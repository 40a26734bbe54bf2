#include "core/cd/cddrive.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "core/cd/cdtext.h"

namespace Sveltra {

namespace {

constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352: 588 stereo frames of 16-bit samples
constexpr int kReadRetries = 20;                    // paranoia's retries per sector before it skips
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

CdioHandle OpenDrive(const QString &driveName, QString *error)
{
    SilenceCdioLog();
    t_lastCdioMessage.clear();
    const QByteArray name = QFile::encodeName(driveName);
    CdioHandle cdio(IsCueSheetName(driveName) ? cdio_open_cue(name.constData()) : cdio_open(name.constData(), DRIVER_DEVICE));
    if (!cdio && error)
        *error = WithCdioReason(QStringLiteral("cannot open ") + driveName);
    return cdio;
}

// A disc image's CD-Text file holds at most eight blocks of 256 packs; anything larger is none.
constexpr qint64 MaxCdTextFileBytes = 64 * 1024;

// The bytes of a small regular file, or nothing.
QByteArray ReadSmallFile(const QString &path, qint64 limit)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > limit || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

// The raw CD-Text packs of a drive's disc (the drive's reply without its four-byte head), or of
// a .cue image from the file its CDTEXTFILE line names (a file of packs, perhaps with such a
// head); empty when there are none.
QByteArray RawCdTextPacks(CdIo_t *cdio, const QString &driveName)
{
    if (!IsCueSheetName(driveName)) {
        std::unique_ptr<uint8_t, decltype(&std::free)> reply(cdio_get_cdtext_raw(cdio), &std::free);
        if (!reply)
            return {};
        const int length = (reply.get()[0] << 8) | reply.get()[1]; // the bytes after these two
        return length > 2 ? QByteArray(reinterpret_cast<const char *>(reply.get()) + 4, length - 2) : QByteArray();
    }
    static const QRegularExpression line(QStringLiteral("^\\s*CDTEXTFILE\\s+(?:\"([^\"]+)\"|(\\S+))"),
                                         QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(ReadSmallFile(driveName, 1024 * 1024)));
    if (!match.hasMatch())
        return {};
    const QString name = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    QByteArray packs = ReadSmallFile(QFileInfo(driveName).dir().filePath(name), MaxCdTextFileBytes);
    if (packs.size() % 18 != 0)
        packs.remove(0, 4); // the head of a drive's reply, kept by the program that saved it
    return packs;
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
    PutLe32(header, 16);        // fmt chunk size
    PutLe16(header, 1);         // PCM
    PutLe16(header, 2);         // channels
    PutLe32(header, 44100);     // sample rate
    PutLe32(header, 44100 * 4); // bytes per second
    PutLe16(header, 4);         // bytes per frame
    PutLe16(header, 16);        // bits per sample
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

bool IsCueSheetName(const QString &driveName)
{
    return driveName.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
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

bool CdTextBlock::isEmpty() const
{
    const auto blank = [](const QStringList &texts) {
        return std::all_of(texts.begin(), texts.end(), [](const QString &text) { return text.trimmed().isEmpty(); });
    };
    return blank(titles) && blank(performers) && genre.trimmed().isEmpty();
}

CdTextBlock ReadCdText(const QString &driveName)
{
    CdTextBlock block;
    const CdioHandle cdio = OpenDrive(driveName, nullptr);
    if (!cdio)
        return block;
    const track_t first = cdio_get_first_track_num(cdio.get());
    const track_t count = cdio_get_num_tracks(cdio.get());
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        return block;
    const int last = qMin(int(first) + int(count) - 1, int(CDIO_CD_MAX_TRACKS));
    // The packs themselves where they can be had, decoded by their character code, which the
    // texts libcdio hands out do not always honour.
    block = CdTextFromPacks(RawCdTextPacks(cdio.get(), driveName), last);
    if (!block.isEmpty())
        return block;
    cdtext_t *cdtext = cdio_get_cdtext(cdio.get()); // owned by the handle
    if (!cdtext)
        return block;
    const auto text = [cdtext](cdtext_field_t field, int track) {
        const char *value = cdtext_get_const(cdtext, field, track_t(track));
        return value ? QString::fromUtf8(value).trimmed() : QString();
    };
    const auto readBlock = [&](cdtext_lang_t language) {
        CdTextBlock read;
        read.language = int(language);
        for (int track = 0; track <= last; ++track) {
            read.titles.append(track == 0 || track >= first ? text(CDTEXT_FIELD_TITLE, track) : QString());
            read.performers.append(track == 0 || track >= first ? text(CDTEXT_FIELD_PERFORMER, track) : QString());
        }
        read.genre = text(CDTEXT_FIELD_GENRE, 0);
        const cdtext_genre_t code = cdtext_get_genre(cdtext);
        if (read.genre.isEmpty() && code != CDTEXT_GENRE_UNUSED && code != CDTEXT_GENRE_UNDEFINED)
            read.genre = QString::fromUtf8(cdtext_genre2str(code));
        return read;
    };

    // The languages the disc holds, in block order; a Chinese block is taken before the others.
    QList<cdtext_lang_t> languages;
    if (const cdtext_lang_t *list = cdtext_list_languages_v2(cdtext)) {
        for (int i = 0; i < 8; ++i) {
            if (list[i] != CDTEXT_LANGUAGE_BLOCK_UNUSED && list[i] != CDTEXT_LANGUAGE_INVALID && !languages.contains(list[i]))
                languages.append(list[i]);
        }
    }
    std::stable_partition(languages.begin(), languages.end(),
                          [](cdtext_lang_t language) { return language == CDTEXT_LANGUAGE_CHINESE; });
    for (const cdtext_lang_t language : std::as_const(languages)) {
        if (!cdtext_select_language(cdtext, language))
            continue;
        block = readBlock(language);
        if (!block.isEmpty())
            return block;
    }
    return CdTextBlock();
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

} // namespace Sveltra
