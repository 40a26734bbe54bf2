#pragma once

// Test fixtures made at test time with the same tools a user would have: sox and ffmpeg make
// the audio, ffprobe reads the results back.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace TestMedia {

// Runs a tool and returns true when it exits with 0 within two minutes.
bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);

// A sine tone WAV (16-bit).
bool makeTone(const QString &path, double seconds, int rate = 44100, int channels = 2, int frequency = 440);

// ffmpeg's EBU R128 meter on a file: integrated loudness (LUFS) and true peak (dBTP, one
// decimal as ffmpeg prints it); NaN for both when it cannot tell.
struct R128
{
    double lufs = 0;
    double truePeak = 0;
};
R128 ebur128(const QString &path);

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

// Runs a Python program (its text) with Debian's python3, which has mutagen (python3-mutagen).
bool python(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);

// A test picture made with ffmpeg, PNG or JPEG by the name's suffix; extra arguments go before
// the output (e.g. "-q:v", "2"). A pattern of colours unless source names another lavfi source
// ("color=c=blue").
bool makePicture(const QString &path, int width, int height, const QString &source = {}, const QStringList &extra = {});

// The tag every tagged source gets (tagSource), as its tagger wrote it.
namespace Tagged {
inline const char *const Title = "源标题";
inline const char *const Artist = "源歌手";
inline const char *const AlbumArtist = "群星";
inline const char *const Album = "源专辑";
inline const char *const Date = "2003-04-05";
inline const char *const Genre = "Rock"; // ID3v1 genre 17
inline const char *const Composer = "作曲者";
inline const char *const Comment = "好听的歌";
inline const char *const Lyrics = "第一行\n第二行";
inline const char *const Bpm = "120";
inline const char *const Catalog = "CAT-0042"; // a property without a frame of its own
} // namespace Tagged

// Tags an audio file with mutagen the way common taggers do, in its format's own tag (by the
// suffix: MP3 ID3v2.4, FLAC and OGG Vorbis comments, WMA ASF attributes, M4A MP4 atoms, WAV an
// "id3 " chunk): every
// field of Tagged, track 3 of 12 and disc 1 of 2, ReplayGain gain and peak, an encoder note,
// gapless data (MP3: an iTunSMPB comment) and the play length; then the pictures given: a back
// cover first (not in M4A, whose pictures have no kind), then the front cover.
bool tagSource(const QString &path, const QString &frontCover, const QString &backCover = {});

// An MP3's ID3v2 tag as mutagen reads it: the version ("2.3.0"), each frame's text by mutagen's
// key ("TIT2", "COMM::eng", "TXXX:CATALOGNUMBER"), each text frame's encoding (1 is UTF-16), the
// pictures, and the ID3v1 tag's 128 bytes (empty without one).
struct Id3
{
    struct Picture
    {
        int type = -1;
        QString mime;
        QByteArray data;
    };
    QString version;
    QMap<QString, QString> frames;
    QMap<QString, int> encodings;
    QList<Picture> pictures;
    QByteArray v1;
};
Id3 readId3(const QString &mp3);

// What ImageMagick's identify says of a picture: its kind ("JPEG", "PNG"), size and interlace
// ("None" for baseline, "JPEG" for progressive).
struct PictureFacts
{
    QString format;
    int width = 0;
    int height = 0;
    QString interlace;
};
PictureFacts pictureFacts(const QByteArray &image);

} // namespace TestMedia
