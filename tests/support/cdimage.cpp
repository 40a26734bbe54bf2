#include "tests/support/cdimage.h"

#include <QDir>
#include <QFile>

#include <utility>

#include "tests/support/mediafixtures.h"

namespace TestCd {

int Image::trackSectors(int track) const
{
    const int end = track < starts.size() ? starts.at(track) : sectors();
    return end - starts.at(track - 1);
}

QByteArray Image::trackSamples(int track) const
{
    return samples.mid(qsizetype(starts.at(track - 1)) * kSectorBytes, qsizetype(trackSectors(track)) * kSectorBytes);
}

namespace {

// A position as a cue sheet writes it, "mm:ss:ff".
QString Msf(int sectors)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sectors / 4500, 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

// Raw little-endian stereo samples of a tone; length "2.5" (seconds) or "17640s" (samples). The
// null input is given the CD rate too, or sox would make the tone at 48 kHz and resample it.
QByteArray RawTone(const QString &dir, const QString &length, int frequency)
{
    const QString path = QDir(dir).filePath(QStringLiteral("tone.raw"));
    if (!TestMedia::run(QStringLiteral("sox"),
                        {QStringLiteral("-r"),
                         QStringLiteral("44100"),
                         QStringLiteral("-c"),
                         QStringLiteral("2"),
                         QStringLiteral("-n"),
                         QStringLiteral("-r"),
                         QStringLiteral("44100"),
                         QStringLiteral("-c"),
                         QStringLiteral("2"),
                         QStringLiteral("-b"),
                         QStringLiteral("16"),
                         QStringLiteral("-e"),
                         QStringLiteral("signed-integer"),
                         QStringLiteral("-L"),
                         QStringLiteral("-t"),
                         QStringLiteral("raw"),
                         path,
                         QStringLiteral("synth"),
                         length,
                         QStringLiteral("sine"),
                         QString::number(frequency),
                         QStringLiteral("vol"),
                         QStringLiteral("0.7")}))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = file.readAll();
    file.close();
    QFile::remove(path);
    return data;
}

// The bytes of each 16-bit sample swapped.
QByteArray Swapped16(QByteArray data)
{
    for (qsizetype i = 0; i + 1 < data.size(); i += 2)
        std::swap(data[i], data[i + 1]);
    return data;
}

} // namespace

bool MakeImage(Image *image, const QString &dir, const QString &name, const QList<Tone> &tones, bool motorola, int pregapTrack,
               int pregapSectors, const CueText &text)
{
    *image = Image();
    const auto textLine = [](const char *indent, const char *key, const QByteArray &value) -> QByteArray {
        if (value.isEmpty())
            return {};
        return QByteArray(indent) + key + " \"" + value + "\"\n";
    };
    QByteArray cue = "REM made by a test\n" + textLine("", "TITLE", text.title) + textLine("", "PERFORMER", text.performer)
        + "FILE \"" + name.toUtf8() + ".bin\" " + (motorola ? "MOTOROLA\n" : "BINARY\n");
    for (int i = 0; i < tones.size(); ++i) {
        const int track = i + 1;
        cue += QStringLiteral("  TRACK %1 AUDIO\n").arg(track, 2, 10, QLatin1Char('0')).toUtf8();
        cue += textLine("    ", "TITLE", text.trackTitles.value(i));
        image->pregaps.append(-1);
        if (track == pregapTrack && pregapSectors > 0) {
            const QByteArray gap = RawTone(dir, QString::number(pregapSectors * 588) + QLatin1Char('s'), 220);
            if (gap.size() != qsizetype(pregapSectors) * kSectorBytes)
                return false;
            image->pregaps.last() = image->sectors();
            cue += (QStringLiteral("    INDEX 00 ") + Msf(image->sectors()) + QLatin1Char('\n')).toUtf8();
            image->samples += gap;
        }
        QByteArray data = RawTone(dir, QString::number(tones.at(i).seconds), tones.at(i).frequency);
        if (data.isEmpty())
            return false;
        data.append(QByteArray((kSectorBytes - data.size() % kSectorBytes) % kSectorBytes, '\0'));
        image->starts.append(image->sectors());
        cue += (QStringLiteral("    INDEX 01 ") + Msf(image->sectors()) + QLatin1Char('\n')).toUtf8();
        image->samples += data;
    }
    image->binPath = QDir(dir).filePath(name + QStringLiteral(".bin"));
    image->cuePath = QDir(dir).filePath(name + QStringLiteral(".cue"));
    QFile bin(image->binPath);
    QFile sheet(image->cuePath);
    return bin.open(QIODevice::WriteOnly)
        && bin.write(motorola ? Swapped16(image->samples) : image->samples) == image->samples.size()
        && sheet.open(QIODevice::WriteOnly) && sheet.write(cue) > 0;
}

} // namespace TestCd
