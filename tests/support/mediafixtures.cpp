#include "tests/support/mediafixtures.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cmath>

namespace TestMedia {

bool run(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000)) {
        qWarning("%s did not finish: %s", qPrintable(program), qPrintable(p.errorString()));
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

R128 ebur128(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"), path, QStringLiteral("-af"),
             QStringLiteral("ebur128=peak=true:framelog=verbose"), QStringLiteral("-f"), QStringLiteral("null"),
             QStringLiteral("-")});
    if (!p.waitForFinished(120000))
        return {NAN, NAN};
    const QString text = QString::fromUtf8(p.readAllStandardError());
    const auto lufs = QRegularExpression(QStringLiteral("\\n\\s+I:\\s+(-?[\\d.]+|-inf) LUFS")).match(text);
    const auto peak = QRegularExpression(QStringLiteral("\\n\\s+Peak:\\s+(-?[\\d.]+|-inf) dBFS")).match(text);
    if (!lufs.hasMatch() || !peak.hasMatch())
        return {NAN, NAN};
    return {lufs.captured(1).toDouble(), peak.captured(1).toDouble()};
}

bool makeTone(const QString &path, double seconds, int rate, int channels, int frequency)
{
    return run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
                QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), path, QStringLiteral("synth"),
                QString::number(seconds), QStringLiteral("sine"), QString::number(frequency)});
}

bool convert(const QString &input, const QString &output, const QStringList &extra)
{
    return run(QStringLiteral("ffmpeg"),
               QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), input}
                   + extra + QStringList{output});
}

bool makeId3v1OnlyMp3(const QString &wav, const QString &mp3, const QByteArray &title)
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

Probe probe(const QString &path)
{
    QByteArray out;
    Probe result;
    if (!run(QStringLiteral("ffprobe"),
             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("a:0"),
              QStringLiteral("-show_streams"), QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"),
              path},
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

namespace TestMedia {

bool python(const QString &program, const QStringList &arguments, QByteArray *output)
{
    return run(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), program} + arguments, output);
}

bool makePicture(const QString &path, int width, int height, const QString &source, const QStringList &extra)
{
    const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
    const QString input = (source.isEmpty() ? QStringLiteral("testsrc2=") : source + QLatin1Char(':')) + QStringLiteral("s=")
        + size;
    return run(QStringLiteral("ffmpeg"),
               QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                           QStringLiteral("lavfi"), QStringLiteral("-i"), input, QStringLiteral("-frames:v"), QStringLiteral("1")}
                   + extra + QStringList{path});
}

namespace {

// Arguments: the file, front cover, back cover (either may be empty), then the texts of Tagged.
const char *const TaggerProgram = R"PY(
import sys
path, front, back, title, artist, albumartist, album, date, genre, composer, comment, lyrics, bpm, catalog = sys.argv[1:15]
pictures = [(4, open(back, 'rb').read()) if back else None, (3, open(front, 'rb').read()) if front else None]
pictures = [p for p in pictures if p]
def mime(data):
    return 'image/png' if data[:4] == b'\x89PNG' else 'image/jpeg'
suffix = path.rsplit('.', 1)[-1].lower()
if suffix in ('mp3', 'wav'):
    from mutagen import id3
    if suffix == 'mp3':
        from mutagen.mp3 import MP3 as Kind
    else:
        from mutagen.wave import WAVE as Kind
    f = Kind(path)
    if f.tags is None:
        f.add_tags()
    t = f.tags
    t.delall('TSSE')
    for frame in (id3.TIT2(encoding=3, text=title), id3.TPE1(encoding=3, text=artist), id3.TPE2(encoding=3, text=albumartist),
                  id3.TALB(encoding=3, text=album), id3.TDRC(encoding=3, text=date), id3.TRCK(encoding=3, text='3/12'),
                  id3.TPOS(encoding=3, text='1/2'), id3.TCON(encoding=3, text=genre), id3.TCOM(encoding=3, text=composer),
                  id3.COMM(encoding=3, lang='eng', desc='', text=comment), id3.USLT(encoding=3, lang='eng', desc='', text=lyrics),
                  id3.TBPM(encoding=3, text=bpm), id3.TXXX(encoding=3, desc='CATALOGNUMBER', text=catalog),
                  id3.TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='-6.50 dB'),
                  id3.TXXX(encoding=3, desc='REPLAYGAIN_TRACK_PEAK', text='0.988'),
                  id3.TXXX(encoding=3, desc='REPLAYGAIN_ALBUM_GAIN', text='-7.00 dB'),
                  id3.TSSE(encoding=3, text='Lavf59.27.100'), id3.TENC(encoding=3, text='Some Encoder'),
                  id3.TLEN(encoding=3, text='1000'),
                  id3.COMM(encoding=3, lang='eng', desc='iTunSMPB', text=' 00000000 00000210 000007E0 0000000000AC44E0')):
        t.add(frame)
    for kind, data in pictures:
        t.add(id3.APIC(encoding=3, mime=mime(data), type=kind, desc='front' if kind == 3 else 'back', data=data))
    f.save(v2_version=4)
elif suffix in ('flac', 'ogg'):
    import base64
    from mutagen.flac import FLAC, Picture
    from mutagen.oggvorbis import OggVorbis
    f = FLAC(path) if suffix == 'flac' else OggVorbis(path)
    f.clear()
    for key, value in (('title', title), ('artist', artist), ('albumartist', albumartist), ('album', album), ('date', date),
                       ('tracknumber', '3'), ('tracktotal', '12'), ('discnumber', '1'), ('disctotal', '2'), ('genre', genre),
                       ('composer', composer), ('comment', comment), ('lyrics', lyrics), ('bpm', bpm), ('catalognumber', catalog),
                       ('replaygain_track_gain', '-6.50 dB'), ('replaygain_track_peak', '0.988'), ('encoder', 'Lavf59.27.100'),
                       ('encodedby', 'Some Encoder')):
        f[key] = value
    blocks = []
    for kind, data in pictures:
        p = Picture()
        p.type = kind
        p.mime = mime(data)
        p.data = data
        if suffix == 'flac':
            f.add_picture(p)
        else:
            blocks.append(base64.b64encode(p.write()).decode('ascii'))
    if blocks:
        f['metadata_block_picture'] = blocks
    f.save()
elif suffix == 'm4a':
    from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm
    f = MP4(path)
    f.clear()
    for key, value in (('\xa9nam', title), ('\xa9ART', artist), ('aART', albumartist), ('\xa9alb', album), ('\xa9day', date),
                       ('\xa9gen', genre), ('\xa9wrt', composer), ('\xa9cmt', comment), ('\xa9lyr', lyrics),
                       ('\xa9too', 'Lavf59.27.100')):
        f[key] = [value]
    f['trkn'] = [(3, 12)]
    f['disk'] = [(1, 2)]
    f['tmpo'] = [int(bpm)]
    f['----:com.apple.iTunes:CATALOGNUMBER'] = [MP4FreeForm(catalog.encode())]
    f['----:com.apple.iTunes:replaygain_track_gain'] = [MP4FreeForm(b'-6.50 dB')]
    f['----:com.apple.iTunes:iTunSMPB'] = [MP4FreeForm(b' 00000000 00000840 000001C0 0000000000AC44E0')]
    # MP4 pictures have no kind: a tagger stores the front cover only.
    f['covr'] = [MP4Cover(data, MP4Cover.FORMAT_PNG if mime(data) == 'image/png' else MP4Cover.FORMAT_JPEG)
                 for kind, data in pictures if kind == 3]
    f.save()
elif suffix == 'wma':
    import struct
    from mutagen.asf import ASF, ASFByteArrayAttribute
    f = ASF(path)
    f.clear()
    for key, value in (('Title', title), ('Author', artist), ('WM/AlbumArtist', albumartist), ('WM/AlbumTitle', album),
                       ('WM/Year', date[:4]), ('WM/TrackNumber', '3/12'), ('WM/PartOfSet', '1/2'), ('WM/Genre', genre),
                       ('WM/Composer', composer), ('Description', comment), ('WM/Lyrics', lyrics), ('WM/BeatsPerMinute', bpm),
                       ('WM/CatalogNo', catalog), ('replaygain_track_gain', '-6.50 dB'), ('WM/EncodedBy', 'Some Encoder'),
                       ('WM/EncodingSettings', 'Lavf59.27.100')):
        f[key] = [value]
    def text(s):
        return s.encode('utf-16-le') + b'\0\0'
    f['WM/Picture'] = [ASFByteArrayAttribute(struct.pack('<BI', kind, len(data)) + text(mime(data)) + text('') + data)
                       for kind, data in pictures]
    f.save()
else:
    sys.exit('no tagger for ' + path)
)PY";

const char *const Id3Program = R"PY(
import json, sys
from mutagen.id3 import ID3, ID3NoHeaderError
path = sys.argv[1]
out = {'version': '', 'frames': {}, 'encodings': {}, 'pictures': []}
try:
    t = ID3(path, translate=False, load_v1=False)
    out['version'] = '.'.join(str(n) for n in t.version)
    for key, frame in t.items():
        if key.startswith('APIC'):
            out['pictures'].append({'type': int(frame.type), 'mime': frame.mime, 'data': frame.data.hex()})
            continue
        texts = getattr(frame, 'text', str(frame))
        out['frames'][key] = texts if isinstance(texts, str) else '\n'.join(str(v) for v in texts)
        if hasattr(frame, 'encoding'):
            out['encodings'][key] = int(frame.encoding)
except ID3NoHeaderError:
    pass
with open(path, 'rb') as f:
    f.seek(0, 2)
    if f.tell() >= 128:
        f.seek(-128, 2)
        tail = f.read()
        if tail[:3] == b'TAG':
            out['v1'] = tail.hex()
print(json.dumps(out))
)PY";

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

bool tagSource(const QString &path, const QString &frontCover, const QString &backCover)
{
    return python(QString::fromUtf8(TaggerProgram),
                  {path, frontCover, backCover, text(Tagged::Title), text(Tagged::Artist), text(Tagged::AlbumArtist),
                   text(Tagged::Album), text(Tagged::Date), text(Tagged::Genre), text(Tagged::Composer), text(Tagged::Comment),
                   text(Tagged::Lyrics), text(Tagged::Bpm), text(Tagged::Catalog)});
}

Id3 readId3(const QString &mp3)
{
    Id3 result;
    QByteArray out;
    if (!python(QString::fromUtf8(Id3Program), {mp3}, &out))
        return result;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    result.version = root.value(QStringLiteral("version")).toString();
    const QJsonObject frames = root.value(QStringLiteral("frames")).toObject();
    for (auto it = frames.begin(); it != frames.end(); ++it)
        result.frames.insert(it.key(), it.value().toString());
    const QJsonObject encodings = root.value(QStringLiteral("encodings")).toObject();
    for (auto it = encodings.begin(); it != encodings.end(); ++it)
        result.encodings.insert(it.key(), it.value().toInt());
    for (const QJsonValue &value : root.value(QStringLiteral("pictures")).toArray()) {
        const QJsonObject picture = value.toObject();
        result.pictures << Id3::Picture{picture.value(QStringLiteral("type")).toInt(),
                                        picture.value(QStringLiteral("mime")).toString(),
                                        QByteArray::fromHex(picture.value(QStringLiteral("data")).toString().toLatin1())};
    }
    result.v1 = QByteArray::fromHex(root.value(QStringLiteral("v1")).toString().toLatin1());
    return result;
}

PictureFacts pictureFacts(const QByteArray &image)
{
    PictureFacts facts;
    QTemporaryFile file;
    if (!file.open() || file.write(image) != image.size() || !file.flush())
        return facts;
    QByteArray out;
    if (!run(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m %w %h %[interlace]"), file.fileName()},
             &out))
        return facts;
    const QStringList parts = QString::fromUtf8(out).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() == 4) {
        facts.format = parts[0];
        facts.width = parts[1].toInt();
        facts.height = parts[2].toInt();
        facts.interlace = parts[3].trimmed();
    }
    return facts;
}

} // namespace TestMedia
