#pragma once

// Test fixtures made at test time with the same tools a user would have: sox and ffmpeg make
// the audio, ffprobe reads the results back.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestMedia {

// Runs a tool and returns true when it exits with 0 within two minutes.
inline bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000))
        return false;
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A sine tone WAV (16-bit).
inline bool makeTone(const QString &path, double seconds, int rate = 44100, int channels = 2, int frequency = 440)
{
    return run(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
                                       QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), path,
                                       QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"),
                                       QString::number(frequency)});
}

// Converts with ffmpeg (extra arguments go before the output, e.g. codec and metadata).
inline bool convert(const QString &input, const QString &output, const QStringList &extra = {})
{
    return run(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                     QStringLiteral("-i"), input} + extra + QStringList{output});
}

// An MP3 without an ID3v2 tag whose only tag is a 128-byte ID3v1 tag carrying a title.
inline bool makeId3v1OnlyMp3(const QString &wav, const QString &mp3, const QByteArray &title)
{
    if (!convert(wav, mp3, {QStringLiteral("-id3v2_version"), QStringLiteral("0")}))
        return false;
    QFile file(mp3);
    if (!file.open(QIODevice::Append))
        return false;
    QByteArray tag("TAG");
    tag += title.leftJustified(30, '\0', true);
    tag += QByteArray(30 + 30 + 4 + 30, '\0');
    tag += char(255);
    return file.write(tag) == 128;
}

// ffprobe's view of the first audio stream and the format, as JSON objects.
struct Probe
{
    QJsonObject stream;
    QJsonObject format;
    QJsonObject tags() const { return format.value(QStringLiteral("tags")).toObject(); }
};

inline Probe probe(const QString &path)
{
    QByteArray out;
    Probe result;
    if (!run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                         QStringLiteral("a:0"), QStringLiteral("-show_streams"), QStringLiteral("-show_format"),
                                         QStringLiteral("-of"), QStringLiteral("json"), path},
             &out))
        return result;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const auto streams = root.value(QStringLiteral("streams")).toArray();
    if (!streams.isEmpty())
        result.stream = streams.first().toObject();
    result.format = root.value(QStringLiteral("format")).toObject();
    return result;
}

} // namespace TestMedia
