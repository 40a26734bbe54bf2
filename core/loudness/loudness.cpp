#include "core/loudness/loudness.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Sveltra {

namespace {
constexpr double AbsoluteGateLufs = -70.0;

double LufsOfPower(double power)
{
    return -0.691 + 10.0 * std::log10(power);
}

// The mean power of a block in bin.
double BinPower(int bin)
{
    return std::pow(10.0, (AbsoluteGateLufs + (bin + 0.5) * BlockBinLu + 0.691) / 10.0);
}
} // namespace

void BlockHistogram::add(const BlockHistogram &other)
{
    for (auto it = other.bins.cbegin(); it != other.bins.cend(); ++it)
        bins[it.key()] += it.value();
}

BlockHistogram BlockHistogram::shifted(double db) const
{
    BlockHistogram out;
    const int by = static_cast<int>(std::lround(db / BlockBinLu));
    for (auto it = bins.cbegin(); it != bins.cend(); ++it) {
        if (it.key() + by >= 0) // blocks brought under the absolute gate drop out
            out.bins[it.key() + by] += it.value();
    }
    return out;
}

QString BlockHistogram::text() const
{
    QStringList parts;
    for (auto it = bins.cbegin(); it != bins.cend(); ++it)
        parts << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    return parts.join(QLatin1Char(','));
}

std::optional<BlockHistogram> BlockHistogram::parse(const QString &text)
{
    BlockHistogram histogram;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype colon = part.indexOf(QLatin1Char(':'));
        bool binOk = false;
        bool countOk = false;
        const int bin = part.left(colon).toInt(&binOk);
        const uint count = part.mid(colon + 1).toUInt(&countOk);
        // Up to +20 LUFS: louder blocks than that are no audio an encoder reads.
        if (colon < 0 || !binOk || !countOk || bin < 0 || bin > 900 || count == 0)
            return std::nullopt;
        histogram.bins[bin] += count;
    }
    return histogram;
}

double GatedLoudness(const BlockHistogram &blocks)
{
    double power = 0.0;
    double count = 0.0;
    for (auto it = blocks.bins.cbegin(); it != blocks.bins.cend(); ++it) {
        power += it.value() * BinPower(it.key());
        count += it.value();
    }
    if (count <= 0.0)
        return -HUGE_VAL;
    const double gate = LufsOfPower(power / count) - 10.0;
    double gated = 0.0;
    double passed = 0.0;
    for (auto it = blocks.bins.cbegin(); it != blocks.bins.cend(); ++it) {
        if (AbsoluteGateLufs + (it.key() + 0.5) * BlockBinLu > gate) {
            gated += it.value() * BinPower(it.key());
            passed += it.value();
        }
    }
    return passed > 0.0 ? LufsOfPower(gated / passed) : -HUGE_VAL;
}

std::optional<BlockHistogram> ParseBlocksLine(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "loudness-blocks")
        return BlockHistogram{};
    if (!trimmed.startsWith("loudness-blocks "))
        return std::nullopt;
    return BlockHistogram::parse(QString::fromLatin1(trimmed.mid(16)));
}

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
    bool blocks = true;    // every track with a loudness brought its blocks
    for (const LoudnessReading &t : tracks) {
        album.seconds += t.seconds;
        album.truePeakDb = std::max(album.truePeakDb, t.truePeakDb);
        if (t.hasLoudness()) {
            blocks = blocks && !t.blocks.isEmpty();
            album.blocks.add(t.blocks);
            // A track too short to say how long it is still counts, as a second.
            const double weight = std::max(t.seconds, 1.0);
            power += weight * std::pow(10.0, t.lufs / 10.0);
            measured += weight;
        }
    }
    if (blocks && !album.blocks.isEmpty())
        album.lufs = GatedLoudness(album.blocks);
    else if (measured > 0.0 && power > 0.0)
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
    if (output.hasLoudness() && !output.blocks.isEmpty())
        texts << qMakePair(QStringLiteral("SVELTRA_LOUDNESS_BLOCKS"), output.blocks.text());
    if (appliedGain)
        texts << qMakePair(QStringLiteral("SVELTRA_GAIN"), GainText(*appliedGain));
    return texts;
}

std::optional<KeptLoudness> ReadTrackLoudness(const QList<QPair<QString, QString>> &texts)
{
    const auto value = [&texts](const char *name) {
        for (const auto &[description, text] : texts) {
            if (description.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return text.trimmed();
        }
        return QString();
    };
    const auto decibels = [](QString text, bool *ok) {
        if (text.endsWith(QLatin1String("dB"), Qt::CaseInsensitive))
            text.chop(2);
        return QLocale::c().toDouble(text.trimmed(), ok);
    };
    bool ok = false;
    const double gain = decibels(value("REPLAYGAIN_TRACK_GAIN"), &ok);
    if (!ok)
        return std::nullopt;
    KeptLoudness kept;
    kept.output.lufs = ReplayGainReferenceLufs - gain;
    const double peak = QLocale::c().toDouble(value("REPLAYGAIN_TRACK_PEAK"), &ok);
    kept.output.truePeakDb = ok && peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    kept.output.blocks = BlockHistogram::parse(value("SVELTRA_LOUDNESS_BLOCKS")).value_or(BlockHistogram{});
    const double applied = decibels(value("SVELTRA_GAIN"), &ok);
    if (ok)
        kept.appliedGain = applied;
    return kept;
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
        // A NUL cannot occur in a path or a cell, so the keys of CDs and tagged albums never meet.
        const QString key = m.cd ? QString(QStringLiteral("cd") + QChar(0) + m.folder)
                                 : QString(album + QChar(0) + m.artist.trimmed() + QChar(0) + QString::number(m.discTotal));
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
    m_unmeasured.clear();
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
        if (m_groups[r] != album || m_unmeasured.contains(r))
            continue;
        if (!m_inputs.contains(r))
            return std::nullopt; // the album is not measured whole
        tracks << m_inputs.value(r);
    }
    return AlbumLevelGain(tracks);
}

void AlbumLedger::setKept(int row, const QString &target, const std::optional<KeptLoudness> &kept)
{
    m_ended.insert(row, Written{target, kept ? std::optional<LoudnessReading>(kept->output) : std::nullopt, true});
    if (!kept) {
        m_unmeasured.insert(row);
        return;
    }
    // What went into the encoder: the output less the gain levelling put into it.
    const double applied = kept->appliedGain.value_or(0.0);
    LoudnessReading input = kept->output;
    input.lufs -= applied;
    input.truePeakDb -= applied;
    input.blocks = kept->output.blocks.shifted(-applied);
    m_inputs.insert(row, input);
}

QList<AlbumLedger::AlbumFile> AlbumLedger::rowEnded(int row, const QString &target, std::optional<LoudnessReading> output)
{
    m_ended.insert(row, Written{target, output, false});
    const int album = albumOf(row);
    if (album < 0)
        return {};
    QList<int> members;
    QList<LoudnessReading> readings;
    bool converted = false; // a row of this run made a file of the album
    for (int r = 0; r < m_groups.size(); ++r) {
        if (m_groups[r] != album)
            continue;
        if (!m_ended.contains(r))
            return {}; // rows still to come
        members << r;
        const Written &w = m_ended.value(r);
        if (w.output) {
            readings << *w.output;
            converted = converted || !w.kept;
        }
    }
    if (!converted)
        return {};
    const QList<QPair<QString, QString>> texts = AlbumLoudnessTexts(AlbumReading(readings));
    if (texts.isEmpty())
        return {};
    QList<AlbumFile> files;
    for (int r : members) {
        const Written &w = m_ended.value(r);
        if (w.output || w.kept) // a failed row has no file of this run
            files << AlbumFile{r, w.target, texts};
    }
    return files;
}

} // namespace Sveltra
