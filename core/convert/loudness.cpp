#include "core/convert/loudness.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace Sveltra {

bool LoudnessReading::hasLoudness() const
{
    return std::isfinite(lufs);
}

std::optional<LoudnessReading> ParseLoudnessLine(const QByteArray &line)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() != 4 || parts[0] != "loudness")
        return std::nullopt;
    const auto level = [](const QByteArray &text, double &value) {
        if (text == "-inf") {
            value = -HUGE_VAL;
            return true;
        }
        bool ok = false;
        value = QLocale::c().toDouble(QString::fromLatin1(text), &ok);
        return ok && std::isfinite(value);
    };
    LoudnessReading reading;
    if (!level(parts[1], reading.lufs) || !level(parts[2], reading.truePeakDb) || !level(parts[3], reading.seconds)
        || reading.seconds < 0)
        return std::nullopt;
    return reading;
}

QString GainText(double db)
{
    const double rounded = std::round(db * 100.0) / 100.0;
    return QStringLiteral("%1%2 dB")
        .arg(rounded < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(std::abs(rounded), 0, 'f', 2);
}

QString PeakText(double db)
{
    return QString::number(std::isfinite(db) ? std::pow(10.0, db / 20.0) : 0.0, 'f', 6);
}

double ReplayGainOf(double lufs)
{
    return ReplayGainReferenceLufs - lufs;
}

LoudnessReading AlbumReading(const QList<LoudnessReading> &tracks)
{
    LoudnessReading album;
    album.lufs = -HUGE_VAL;
    album.truePeakDb = -HUGE_VAL;
    double power = 0.0;
    double measured = 0.0; // seconds of the tracks with a loudness
    for (const LoudnessReading &t : tracks) {
        album.seconds += t.seconds;
        album.truePeakDb = std::max(album.truePeakDb, t.truePeakDb);
        if (t.hasLoudness()) {
            // A track too short to say how long it is still counts, as a second.
            const double weight = std::max(t.seconds, 1.0);
            power += weight * std::pow(10.0, t.lufs / 10.0);
            measured += weight;
        }
    }
    if (measured > 0.0 && power > 0.0)
        album.lufs = 10.0 * std::log10(power / measured);
    return album;
}

namespace {
// The most gain the peak rule allows for audio whose true peak is peakDb.
double PeakLimit(double peakDb)
{
    return std::isfinite(peakDb) ? TruePeakCeilingDb - EncoderPeakDriftDb - peakDb : MaxGainDb;
}
} // namespace

double LevelGain(const LoudnessReading &input)
{
    if (!input.hasLoudness())
        return 0.0;
    const double gain = std::min(LevelTargetLufs - input.lufs, PeakLimit(input.truePeakDb));
    return std::clamp(gain, -MaxGainDb, MaxGainDb);
}

double AlbumLevelGain(const QList<LoudnessReading> &tracks)
{
    const LoudnessReading album = AlbumReading(tracks);
    return LevelGain(album); // the album's loudest peak is every track's limit
}

std::optional<double> PeakRetryGain(double appliedGainDb, const LoudnessReading &output)
{
    if (!std::isfinite(output.truePeakDb) || output.truePeakDb <= TruePeakCeilingDb)
        return std::nullopt;
    return std::max(-MaxGainDb, appliedGainDb - (output.truePeakDb - TruePeakCeilingDb) - 0.3);
}

bool EncodeForGain(double gainDb)
{
    return std::abs(gainDb) > CopyToleranceDb;
}

QList<QPair<QString, QString>> TrackLoudnessTexts(const LoudnessReading &output, std::optional<double> appliedGain)
{
    QList<QPair<QString, QString>> texts;
    if (output.hasLoudness()) {
        texts << qMakePair(QStringLiteral("REPLAYGAIN_TRACK_GAIN"), GainText(ReplayGainOf(output.lufs)))
              << qMakePair(QStringLiteral("REPLAYGAIN_TRACK_PEAK"), PeakText(output.truePeakDb));
    }
    if (appliedGain)
        texts << qMakePair(QStringLiteral("SVELTRA_GAIN"), GainText(*appliedGain));
    return texts;
}

QList<QPair<QString, QString>> AlbumLoudnessTexts(const LoudnessReading &album)
{
    if (!album.hasLoudness())
        return {};
    return {qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), GainText(ReplayGainOf(album.lufs))),
            qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), PeakText(album.truePeakDb))};
}

QString LevelledNote(double gainDb)
{
    return QCoreApplication::translate("Sveltra::Loudness", "音量均衡 ") + GainText(gainDb);
}

QList<int> AlbumGroups(const QList<AlbumMember> &rows)
{
    QList<int> groups(rows.size(), -1);
    QHash<QString, int> first; // key -> the album's first row
    for (int i = 0; i < rows.size(); ++i) {
        const AlbumMember &m = rows[i];
        const QString album = m.album.trimmed();
        if (!m.cd && album.isEmpty())
            continue;
        // A NUL cannot occur in a path or a cell, so the keys of CDs and folders never meet.
        const QString key = m.cd ? QStringLiteral("cd") + QChar(0) + m.folder : m.folder + QChar(0) + album;
        groups[i] = first.value(key, i);
        first.insert(key, groups[i]);
    }
    return groups;
}

void AlbumLedger::plan(const QList<int> &groups)
{
    m_groups = groups;
    m_inputs.clear();
    m_lowered.clear();
    m_ended.clear();
}

std::optional<double> AlbumLedger::levelGain(int row) const
{
    if (m_lowered.contains(row))
        return m_lowered.value(row);
    const int album = albumOf(row);
    if (album < 0)
        return m_inputs.contains(row) ? std::optional<double>(LevelGain(m_inputs.value(row))) : std::nullopt;
    QList<LoudnessReading> tracks;
    for (int r = 0; r < m_groups.size(); ++r) {
        if (m_groups[r] != album)
            continue;
        if (!m_inputs.contains(r))
            return std::nullopt; // the album is not measured whole
        tracks << m_inputs.value(r);
    }
    return AlbumLevelGain(tracks);
}

QList<AlbumLedger::AlbumFile> AlbumLedger::rowEnded(int row, const QString &target, const MediaTag &tag,
                                                    std::optional<LoudnessReading> output)
{
    m_ended.insert(row, Written{target, tag, output});
    const int album = albumOf(row);
    if (album < 0)
        return {};
    QList<int> members;
    QList<LoudnessReading> readings;
    for (int r = 0; r < m_groups.size(); ++r) {
        if (m_groups[r] != album)
            continue;
        if (!m_ended.contains(r))
            return {}; // rows still to come
        members << r;
        if (m_ended.value(r).output)
            readings << *m_ended.value(r).output;
    }
    if (readings.isEmpty())
        return {};
    const QList<QPair<QString, QString>> texts = AlbumLoudnessTexts(AlbumReading(readings));
    QList<AlbumFile> files;
    for (int r : members) {
        const Written &w = m_ended.value(r);
        if (!w.output)
            continue; // failed: no file of this run
        MediaTag withAlbum = w.tag;
        withAlbum.UserTexts += texts;
        files << AlbumFile{r, w.target, withAlbum};
    }
    return files;
}

} // namespace Sveltra
