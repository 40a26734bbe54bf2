#pragma once

// Test fixtures made at test time with the same tools a user would have: sox and ffmpeg make
// the audio, ffprobe reads the results back.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace TestMedia {

// Runs a tool and returns true when it exits with 0 within two minutes.
bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);

// A sine tone WAV (16-bit).
bool makeTone(const QString &path, double seconds, int rate = 44100, int channels = 2, int frequency = 440);

// Converts with ffmpeg (extra arguments go before the output, e.g. codec and metadata).
bool convert(const QString &input, const QString &output, const QStringList &extra = {});

// An MP3 without an ID3v2 tag whose only tag is a 128-byte ID3v1 tag carrying a title.
bool makeId3v1OnlyMp3(const QString &wav, const QString &mp3, const QByteArray &title);

// ffprobe's view of the first audio stream and the format, as JSON objects.
struct Probe
{
    QJsonObject stream;
    QJsonObject format;
    QJsonObject tags() const { return format.value(QStringLiteral("tags")).toObject(); }
};

Probe probe(const QString &path);

} // namespace TestMedia
