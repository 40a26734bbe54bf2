// Reading facts and tags of real files (made with sox, ffmpeg and mutagen) and writing MP3 tags
// that TagLib, ffprobe, mutagen and GBK-reading players see: every tag of a source carried over,
// and its front cover made small.

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "core/base/textcut.h"
#include "core/joblist/mediainforeader.h"
#include "core/media/audioinformation.h"
#include "core/media/coverimage.h"
#include "core/media/tagmap.h"
#include "core/tags/coverart.h"
#include "core/tags/outputtag.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Collects the warnings logged while it lives.
class LogCatcher
{
public:
    LogCatcher() { s_lines = &m_lines, m_previous = qInstallMessageHandler(&LogCatcher::handle); }
    ~LogCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    const QStringList &lines() const { return m_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg && s_lines)
            *s_lines << message;
    }
    static inline QStringList *s_lines = nullptr;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class TestAudioInformation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_wav;
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private slots:
    void initTestCase()
    {
        m_wav = path("tone.wav");
        QVERIFY(TestMedia::makeTone(m_wav, 3.0));
        // A front cover as a tagger embeds it, and a back cover of another shape.
        QVERIFY(TestMedia::makePicture(path("front.png"), 1500, 1500));
        QVERIFY(TestMedia::makePicture(path("back.png"), 1200, 600, QStringLiteral("color=c=blue")));
    }

    void readsTagsOfEachKind()
    {
        const QStringList meta = {QStringLiteral("-metadata"),   QStringLiteral("title=中文歌名"), QStringLiteral("-metadata"),
                                  QStringLiteral("album=专辑"),  QStringLiteral("-metadata"),      QStringLiteral("artist=歌手"),
                                  QStringLiteral("-metadata"),   QStringLiteral("date=1999"),      QStringLiteral("-metadata"),
                                  QStringLiteral("comment=好听")};
        const QString mp3 = path("v2.mp3");
        QVERIFY(TestMedia::convert(m_wav, mp3, meta + QStringList{QStringLiteral("-id3v2_version"), QStringLiteral("3")}));
        const QString wma = path("song.wma");
        QVERIFY(TestMedia::convert(m_wav, wma, meta + QStringList{QStringLiteral("-c:a"), QStringLiteral("wmav2")}));
        const QString wav = path("info.wav");
        QVERIFY(TestMedia::convert(m_wav, wav,
                                   {QStringLiteral("-metadata"), QStringLiteral("title=Wave Title"), QStringLiteral("-metadata"),
                                    QStringLiteral("artist=Wave Artist")}));

        AudioInformation info;
        for (const QString &file : {mp3, wma}) {
            info.TagMode = 1;
            QVERIFY2(info.ReadFile(file), qPrintable(file));
            QCOMPARE(info.Title, QStringLiteral("中文歌名"));
            QCOMPARE(info.Album, QStringLiteral("专辑"));
            QCOMPARE(info.Artist, QStringLiteral("歌手"));
            if (file == mp3) { // ffmpeg keeps neither year nor comment in ASF
                QCOMPARE(info.Year, 1999);
                QCOMPARE(info.Comment, QStringLiteral("好听"));
            }
            QVERIFY2(qAbs(info.Duration - 3000) < 150, qPrintable(QString::number(info.Duration)));
            QCOMPARE(info.FileSize, QFileInfo(file).size());
        }
        QVERIFY(info.ReadFile(wav));
        QCOMPARE(info.Title, QStringLiteral("Wave Title"));
        QCOMPARE(info.Artist, QStringLiteral("Wave Artist"));
        QCOMPARE(info.Comment, QString()); // nothing left over from the earlier file
        QCOMPARE(info.Duration, 3000);

        // A title of thirty thousand characters reaches the row cut to a field's length.
        const QString huge = path("huge.mp3");
        QVERIFY(TestMedia::convert(m_wav, huge,
                                   {QStringLiteral("-metadata"), QStringLiteral("title=") + QString(30000, QChar(0x6B4C))}));
        QVERIFY(info.ReadFile(huge));
        QCOMPARE(info.Title, QString(MaxFieldLength, QChar(0x6B4C)));
    }

    void mp3WithOnlyAnId3v1TagNeedsMode2()
    {
        const QString mp3 = path("v1.mp3");
        QVERIFY(TestMedia::makeId3v1OnlyMp3(m_wav, mp3, "Old Title"));
        AudioInformation info;
        info.TagMode = 1;
        QVERIFY(info.ReadFile(mp3));
        QCOMPARE(info.Title, QString());
        info.TagMode = 2;
        QVERIFY(info.ReadFile(mp3));
        QCOMPARE(info.Title, QStringLiteral("Old Title"));
    }

    void aJoinedMp3ReadsAsItsWholeLength()
    {
        // Two files joined end to end, each with its tag and info frame: the play length is both
        // parts', not the first part's that its info frame tells.
        QByteArray joined;
        for (const char *part : {"part1.mp3", "part2.mp3"}) {
            QVERIFY(TestMedia::convert(m_wav, path(part),
                                       {QStringLiteral("-b:a"), QStringLiteral("48k"), QStringLiteral("-metadata"),
                                        QStringLiteral("title=") + QString::fromLatin1(part)}));
            QFile file(path(part));
            QVERIFY(file.open(QIODevice::ReadOnly));
            joined += file.readAll();
        }
        QFile out(path("joined.mp3"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(joined) == joined.size());
        out.close();
        AudioInformation info;
        QVERIFY(info.ReadFile(path("part1.mp3")));
        QVERIFY2(qAbs(info.Duration - 3000) < 150, qPrintable(QString::number(info.Duration)));
        QVERIFY(info.ReadFile(path("joined.mp3")));
        QVERIFY2(qAbs(info.Duration - 6000) < 200, qPrintable(QString::number(info.Duration)));
        QCOMPARE(info.Title, QStringLiteral("part1.mp3"));
    }

    void whatIsNotAudioReadsAsNothing()
    {
        QFile text(path("notes.mp3"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("this is not music\n");
        text.close();
        QFile empty(path("empty.wav"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();

        AudioInformation info;
        for (const QString &p : {text.fileName(), empty.fileName(), m_dir.path(), path("missing.mp3")}) {
            QVERIFY2(!info.ReadFile(p), qPrintable(p));
            QCOMPARE(info.Duration, 0);
            QVERIFY(!info.lastError().isEmpty());
        }
    }

    void readerHandsResultsBackInTheOrderGiven()
    {
        // Files of three lengths, hard-linked many times under names that do not sort like their
        // lengths; a missing file, a CD track and a folder in between; two calls of read().
        QTemporaryDir dir;
        const QString one = dir.filePath(QStringLiteral("one.wav")), two = dir.filePath(QStringLiteral("two.wav"));
        QVERIFY(TestMedia::makeTone(one, 1.0));
        QVERIFY(TestMedia::makeTone(two, 2.0));
        const QString mp3 = dir.filePath(QStringLiteral("three.mp3"));
        QVERIFY(TestMedia::makeTone(dir.filePath(QStringLiteral("t.wav")), 3.0));
        QVERIFY(TestMedia::makeId3v1OnlyMp3(dir.filePath(QStringLiteral("t.wav")), mp3, "Three"));
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        QVERIFY(QFile::link(two, folder + QStringLiteral("/10.wav")));
        QVERIFY(QFile::link(one, folder + QStringLiteral("/9.wav")));
        QVERIFY(QFile::link(mp3, folder + QStringLiteral("/sub/a.mp3")));

        QStringList first, expected;
        QList<qint64> lengths;
        for (int i = 0; i < 150; ++i) {
            const QString &source = i % 3 == 0 ? one : i % 3 == 1 ? two : mp3;
            const QString link = dir.filePath(QStringLiteral("f%1.%2").arg(149 - i).arg(QFileInfo(source).suffix()));
            QVERIFY(QFile::link(source, link));
            first << link;
            expected << link;
            lengths << (i % 3 + 1) * 1000;
        }
        first.insert(40, dir.filePath(QStringLiteral("missing.wav")));
        expected.insert(40, first[40]);
        lengths.insert(40, 0);
        first.insert(70, QStringLiteral("/dev/nothing/Track02.cda"));
        expected.insert(70, first[70]);
        lengths.insert(70, 0);
        const QStringList second = {folder, one};
        expected << folder + QStringLiteral("/9.wav") << folder + QStringLiteral("/10.wav")
                 << folder + QStringLiteral("/sub/a.mp3") << one;
        lengths << 1000 << 2000 << 3000 << 1000;

        MediaInfoReader reader(nullptr, 3);
        QSignalSpy finished(&reader, &MediaInfoReader::finished);
        QList<MediaInfo> got;
        int batches = 0;
        connect(&reader, &MediaInfoReader::batchReady, this, [&](const QList<MediaInfo> &infos) {
            got << infos;
            ++batches;
        });
        reader.read(first);
        reader.read(second);
        QVERIFY(reader.pending() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(reader.pending() == 0 && !finished.isEmpty(), 30000);
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].path, expected[i]);
            QVERIFY2(qAbs(got[i].duration - lengths[i]) < 150, qPrintable(expected[i]));
        }
        QVERIFY(!got[70].wasRead); // the CD track is left to its owner
        QVERIFY(got[40].wasRead && !got[40].error.isEmpty());
        QCOMPARE(got[2].title, QStringLiteral("Three")); // read again for its ID3v1 tag
        QCOMPARE(got.last().fileSize, QFileInfo(one).size());

        // Nothing is delivered once cancelled, and a reader destroyed while reading waits for its
        // workers instead of leaving them behind.
        got.clear();
        reader.read(first);
        reader.cancel();
        QCOMPARE(reader.pending(), 0);
        QTest::qWait(200);
        QVERIFY(got.isEmpty());
        {
            MediaInfoReader dropped;
            dropped.read(first);
        }
        // A folder with no audio in it still ends the read.
        finished.clear();
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("empty"))));
        reader.read({dir.filePath(QStringLiteral("empty"))});
        QVERIFY(finished.wait(10000));
    }

    void writesId3v23AndGbkId3v1()
    {
        const QString mp3 = path("out.mp3");
        QVERIFY(TestMedia::convert(m_wav, mp3,
                                   {QStringLiteral("-metadata"), QStringLiteral("comment=stale"), QStringLiteral("-metadata"),
                                    QStringLiteral("genre=Rock")}));
        AudioInformation writer;
        writer.ClearTags();
        writer.Title = QStringLiteral("一二三四五六七八九十一二三四五六"); // 16 characters, 32 bytes in GBK
        writer.Album = QStringLiteral("专辑 Album");
        writer.Artist = QStringLiteral("歌手");
        writer.Year = 2001;
        writer.SoftwareNote = QStringLiteral("Sveltra Version 4");
        QVERIFY2(writer.WriteTags(mp3), qPrintable(writer.lastError()));

        QFile raw(mp3);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        QVERIFY(bytes.startsWith(QByteArray("ID3\x03", 4))); // ID3v2.3
        const QByteArray v1 = bytes.right(128);
        QVERIFY(v1.startsWith("TAG"));
        QStringDecoder gbk("GBK");
        const QString v1Title = gbk.decode(v1.mid(3, 30));
        QCOMPARE(v1Title, QStringLiteral("一二三四五六七八九十一二三四五")); // cut between characters

        const TestMedia::Probe probe = TestMedia::probe(mp3);
        QCOMPARE(probe.tags().value(QStringLiteral("title")).toString(), writer.Title);
        QCOMPARE(probe.tags().value(QStringLiteral("artist")).toString(), QStringLiteral("歌手"));
        QCOMPARE(probe.tags().value(QStringLiteral("encoder")).toString(), QStringLiteral("Sveltra Version 4"));
        QVERIFY(!probe.tags().contains(QStringLiteral("comment"))); // the old comment is gone

        AudioInformation reader;
        reader.TagMode = 1;
        QVERIFY(reader.ReadFile(mp3));
        QCOMPARE(reader.Title, writer.Title);
        QCOMPARE(reader.Album, writer.Album);
        QCOMPARE(reader.Year, 2001);
        QCOMPARE(reader.Comment, QString());
        QCOMPARE(reader.Genre, QString());
        reader.TagMode = 2;
        QVERIFY(reader.ReadFile(mp3));
        QCOMPARE(reader.Artist, QStringLiteral("歌手"));
        QCOMPARE(reader.Year, 2001);

        // Several values share one ID3v2.3 frame; a comment keeps its first. A user text replaces
        // a property of the same name instead of standing beside it. The ID3v1 genre is found
        // whatever its letter case, by number too; a genre ID3v1 does not know is left out.
        for (const auto &[genre, number] : QList<QPair<QString, int>>{
                 {QStringLiteral("rock"), 17}, {QStringLiteral("(8)"), 8}, {QStringLiteral("华语流行"), 255}}) {
            writer.ClearTags();
            writer.Genre = genre;
            writer.Properties = {{QStringLiteral("COMPOSER"), {QStringLiteral("甲"), QStringLiteral("乙")}},
                                 {QStringLiteral("COMMENT"), {QStringLiteral("one"), QStringLiteral("two")}},
                                 {QStringLiteral("REPLAYGAIN_TRACK_GAIN"), {QStringLiteral("+1.00 dB")}},
                                 {QStringLiteral("TRACKNUMBER"), {QStringLiteral("12/14")}}};
            writer.UserTexts = {{QStringLiteral("replaygain_track_gain"), QStringLiteral("-2.00 dB")}};
            QVERIFY2(writer.WriteTags(mp3), qPrintable(writer.lastError()));
            const TestMedia::Id3 id3 = TestMedia::readId3(mp3);
            QCOMPARE(id3.frames.value(QStringLiteral("TCOM")), QStringLiteral("甲/乙"));
            QCOMPARE(id3.frames.value(QStringLiteral("COMM::XXX")), QStringLiteral("one"));
            QStringList gains;
            for (auto it = id3.frames.begin(); it != id3.frames.end(); ++it) {
                if (it.key().contains(QLatin1String("GAIN"), Qt::CaseInsensitive))
                    gains << it.key() + QLatin1Char('=') + it.value();
            }
            QCOMPARE(gains, QStringList{QStringLiteral("TXXX:replaygain_track_gain=-2.00 dB")});
            QCOMPARE(id3.v1.size(), 128);
            QCOMPARE(int(id3.v1.at(126)), 12);
            QCOMPARE(int(static_cast<unsigned char>(id3.v1.at(127))), number);
        }
    }

    void writingToWhatIsNoMp3Fails()
    {
        AudioInformation writer;
        writer.Title = QStringLiteral("x");
        QVERIFY(!writer.WriteTags(path("none.mp3")));
        QVERIFY(!QFile::exists(path("none.mp3")));
    }

    void everyTagOfASourceReachesTheOutput_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("encoding");
        QTest::newRow("MP3 with ID3v2.4") << QStringLiteral("mp3") << QStringList();
        QTest::newRow("FLAC") << QStringLiteral("flac") << QStringList();
        QTest::newRow("WMA") << QStringLiteral("wma") << QStringList{QStringLiteral("-c:a"), QStringLiteral("wmav2")};
        QTest::newRow("WAV with an id3 chunk") << QStringLiteral("wav") << QStringList();
        QTest::newRow("OGG Vorbis") << QStringLiteral("ogg") << QStringList{QStringLiteral("-c:a"), QStringLiteral("libvorbis")};
        QTest::newRow("M4A") << QStringLiteral("m4a") << QStringList{QStringLiteral("-c:a"), QStringLiteral("aac")};
    }

    void everyTagOfASourceReachesTheOutput()
    {
        QFETCH(QString, suffix);
        QFETCH(QStringList, encoding);
        const QString source = m_dir.filePath(QStringLiteral("tagged.") + suffix);
        QVERIFY(TestMedia::convert(m_wav, source, encoding));
        QVERIFY(TestMedia::tagSource(source, path("front.png"), path("back.png")));

        const SourceTags read = ReadSourceTags(source);
        QCOMPARE(read.pictures.size(), suffix == QLatin1String("m4a") ? 1 : 2);
        QVERIFY(FrontPicture(read.pictures));
        QCOMPARE(FrontPicture(read.pictures)->data, readAll(path("front.png")));
        QCOMPARE(read.properties.value(QStringLiteral("LYRICS")), QStringList{QString::fromUtf8(TestMedia::Tagged::Lyrics)});

        // Written the way the run writes a finished file: the row's title, album and year win,
        // loudness measured on the output goes in, the source's own loudness does not.
        const QString out = m_dir.filePath(QStringLiteral("out-") + suffix + QStringLiteral(".mp3"));
        QVERIFY(TestMedia::convert(m_wav, out, {QStringLiteral("-b:a"), QStringLiteral("64k")}));
        const qint64 untagged = QFileInfo(out).size();
        MediaTag tag;
        tag.Title = QStringLiteral("行标题");
        tag.Album = QStringLiteral("行专辑");
        tag.Year = QStringLiteral("2003");
        tag.SourcePath = source;
        tag.UserTexts << qMakePair(QStringLiteral("REPLAYGAIN_TRACK_GAIN"), QStringLiteral("-3.10 dB"));
        SetMP3Tag(out, tag);

        const TestMedia::Id3 id3 = TestMedia::readId3(out);
        QCOMPARE(id3.version, QStringLiteral("2.3.0"));
        const auto text = [](const char *utf8) { return QString::fromUtf8(utf8); };
        const QMap<QString, QString> expected = {
            {QStringLiteral("TIT2"), QStringLiteral("行标题")},
            {QStringLiteral("TALB"), QStringLiteral("行专辑")},
            {QStringLiteral("TPE1"), text(TestMedia::Tagged::Artist)},
            {QStringLiteral("TPE2"), text(TestMedia::Tagged::AlbumArtist)},
            {QStringLiteral("TYER"), QStringLiteral("2003")},
            {QStringLiteral("TRCK"), QStringLiteral("3/12")},
            {QStringLiteral("TPOS"), QStringLiteral("1/2")},
            {QStringLiteral("TCON"), text(TestMedia::Tagged::Genre)},
            {QStringLiteral("TCOM"), text(TestMedia::Tagged::Composer)},
            {QStringLiteral("TBPM"), text(TestMedia::Tagged::Bpm)},
            {QStringLiteral("TXXX:CATALOGNUMBER"), text(TestMedia::Tagged::Catalog)},
            {QStringLiteral("TXXX:REPLAYGAIN_TRACK_GAIN"), QStringLiteral("-3.10 dB")},
            {QStringLiteral("TSSE"), QStringLiteral("Sveltra Version 4")},
        };
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(id3.frames.value(it.key()), it.value());
        QStringList comments, lyrics;
        for (auto it = id3.frames.begin(); it != id3.frames.end(); ++it) {
            if (it.key().startsWith(QLatin1String("COMM")))
                comments << it.value();
            if (it.key().startsWith(QLatin1String("USLT::")))
                lyrics << it.value();
            // What re-encoding makes untrue is gone: the source's gain and peaks, its encoder,
            // its length and gapless data.
            QVERIFY2(!it.key().contains(QLatin1String("PEAK")) && !it.key().contains(QLatin1String("ALBUM_GAIN"))
                         && it.key() != QLatin1String("TLEN") && it.key() != QLatin1String("TENC"),
                     qPrintable(it.key()));
            // Any text beyond ASCII in UTF-16 (numbers and ASCII genres may be Latin-1).
            const bool ascii = std::all_of(it.value().begin(), it.value().end(), [](QChar c) { return c.unicode() < 0x80; });
            QVERIFY2(ascii || id3.encodings.value(it.key()) == 1, qPrintable(it.key()));
        }
        QCOMPARE(comments, QStringList{text(TestMedia::Tagged::Comment)});
        QCOMPARE(lyrics, QStringList{text(TestMedia::Tagged::Lyrics)});

        // Only the front cover, made small: a baseline JPEG of 500 pixels, smaller than the source's.
        QCOMPARE(id3.pictures.size(), 1);
        QCOMPARE(id3.pictures[0].type, 3);
        QCOMPARE(id3.pictures[0].mime, QStringLiteral("image/jpeg"));
        const TestMedia::PictureFacts cover = TestMedia::pictureFacts(id3.pictures[0].data);
        QCOMPARE(cover.format, QStringLiteral("JPEG"));
        QCOMPARE(cover.width, 500);
        QCOMPARE(cover.height, 500);
        QCOMPARE(cover.interlace, QStringLiteral("None"));
        QVERIFY(id3.pictures[0].data.size() < QFileInfo(path("front.png")).size());
        // The file grows by the cover it holds and the texts, nothing more.
        QVERIFY2(QFileInfo(out).size() - untagged < id3.pictures[0].data.size() + 2048,
                 qPrintable(QString::number(QFileInfo(out).size() - untagged - id3.pictures[0].data.size())));

        // ID3v1.1: the track byte after a zero, the genre's number.
        QCOMPARE(id3.v1.size(), 128);
        QCOMPARE(int(id3.v1[125]), 0);
        QCOMPARE(int(id3.v1[126]), 3);
        QCOMPARE(int(id3.v1[127]), 17); // Rock
    }

    void theRunsValuesWinAndWhatTurnsUntrueIsLeftOut()
    {
        const TagProperties source = {
            {QStringLiteral("TITLE"), {QStringLiteral("Source")}},
            {QStringLiteral("ALBUM"), {QStringLiteral("Source album")}},
            {QStringLiteral("DATE"), {QStringLiteral("2003-04-05")}},
            {QStringLiteral("TRACKNUMBER"), {QStringLiteral("3")}},
            {QStringLiteral("TRACKTOTAL"), {QStringLiteral("12")}},
            {QStringLiteral("DISCNUMBER"), {QStringLiteral("1")}},
            {QStringLiteral("TOTALDISCS"), {QStringLiteral("2")}},
            {QStringLiteral("GENRE"), {QStringLiteral("Rock")}},
            {QStringLiteral("mood"), {QStringLiteral("calm")}},
            {QStringLiteral("COMPOSER"), {QStringLiteral("  ")}},
            {QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), {QStringLiteral("1.0")}},
            {QStringLiteral("R128_TRACK_GAIN"), {QStringLiteral("-512")}},
            {QStringLiteral("ENCODING"), {QStringLiteral("Lavf")}},
            {QStringLiteral("ENCODER"), {QStringLiteral("Lavf")}},
            {QStringLiteral("COMMENT:ITUNSMPB"), {QStringLiteral("00000000 00000210")}},
            {QStringLiteral("SVELTRA SOURCE"), {QStringLiteral("an earlier run's mark")}},
            {QStringLiteral("LENGTH"), {QStringLiteral("1000")}},
        };
        MediaTag row;
        row.Title = QStringLiteral(" Row ");
        row.Year = QStringLiteral("2003"); // the same year: the fuller date stays
        TagProperties expected = {
            {QStringLiteral("TITLE"), {QStringLiteral("Row")}},       {QStringLiteral("ALBUM"), {QStringLiteral("Source album")}},
            {QStringLiteral("DATE"), {QStringLiteral("2003-04-05")}}, {QStringLiteral("TRACKNUMBER"), {QStringLiteral("3/12")}},
            {QStringLiteral("DISCNUMBER"), {QStringLiteral("1/2")}},  {QStringLiteral("GENRE"), {QStringLiteral("Rock")}},
            {QStringLiteral("MOOD"), {QStringLiteral("calm")}},
        };
        QCOMPARE(OutputProperties(source, row), expected);

        // Another year replaces the date; a CD lookup's numbers, genre and album artist win.
        row.Year = QStringLiteral("1999");
        row.Track = QStringLiteral("5/9");
        row.Disc = QStringLiteral("2/2");
        row.Genre = QStringLiteral("Pop");
        row.AlbumArtist = QStringLiteral("Various");
        expected[QStringLiteral("DATE")] = {QStringLiteral("1999")};
        expected[QStringLiteral("TRACKNUMBER")] = {QStringLiteral("5/9")};
        expected[QStringLiteral("DISCNUMBER")] = {QStringLiteral("2/2")};
        expected[QStringLiteral("GENRE")] = {QStringLiteral("Pop")};
        expected[QStringLiteral("ALBUMARTIST")] = {QStringLiteral("Various")};
        QCOMPARE(OutputProperties(source, row), expected);
        // A number that already has its count keeps it.
        QCOMPARE(OutputProperties({{QStringLiteral("TRACKNUMBER"), {QStringLiteral("4/10")}},
                                   {QStringLiteral("TRACKTOTAL"), {QStringLiteral("12")}}},
                                  {}),
                 (TagProperties{{QStringLiteral("TRACKNUMBER"), {QStringLiteral("4/10")}}}));

        // The front cover is the one marked so, else an unmarked one; never a back cover.
        const EmbeddedPicture back{4, {}, "b"}, other{EmbeddedPicture::Other, {}, "o"},
            front{EmbeddedPicture::FrontCover, {}, "f"};
        QCOMPARE(FrontPicture({back, other, front})->data, QByteArray("f"));
        QCOMPARE(FrontPicture({back, other})->data, QByteArray("o"));
        QVERIFY(!FrontPicture({back}));
        QVERIFY(!FrontPicture({}));

        for (const auto &[text, byte] : QList<QPair<QString, int>>{{QStringLiteral("3"), 3},
                                                                   {QStringLiteral("03/12"), 3},
                                                                   {QStringLiteral(" 7 / 9"), 7},
                                                                   {QStringLiteral("255"), 255},
                                                                   {QStringLiteral("256"), 0},
                                                                   {QStringLiteral("0"), 0},
                                                                   {QStringLiteral("A1"), 0},
                                                                   {QString(), 0}})
            QCOMPARE(TrackByte(text), byte);
    }

    // A source's tag is anyone's: what is copied is bounded field by field, in user texts and in
    // all, and track and disc hold numbers only.
    void whatIsCopiedFromASourceTagIsBounded()
    {
        TagProperties source = {
            {QStringLiteral("LYRICS"), {QString(16 * 1024 * 1024, QLatin1Char('l'))}},
            {QStringLiteral("COMPOSER"), {QString(5000, QLatin1Char('c')), QStringLiteral("second")}},
            {QStringLiteral("TITLE"), {QStringLiteral("Title")}},
        };
        for (int i = 0; i < 10000; ++i)
            source.insert(QStringLiteral("USER%1").arg(i, 5, 10, QLatin1Char('0')), {QString(100, QLatin1Char('u'))});
        const TagProperties out = OutputProperties(source, {});
        QCOMPARE(out.value(QStringLiteral("LYRICS")).value(0).size(), MaxLongTextChars);
        QCOMPARE(out.value(QStringLiteral("COMPOSER")), QStringList{QString(MaxLineChars, QLatin1Char('c'))});
        QCOMPARE(out.value(QStringLiteral("TITLE")), QStringList{QStringLiteral("Title")});
        QCOMPARE(out.size(), 3 + MaxUserTexts);
        QVERIFY(out.contains(QStringLiteral("USER00000")) && !out.contains(QStringLiteral("USER00064")));

        // The whole text stays within its bound: fields past it are left out, the run's kept.
        TagProperties many;
        for (int i = 0; i < 10; ++i)
            many.insert(QStringLiteral("COMMENT:%1").arg(i), {QString(MaxLongTextChars, QLatin1Char('x'))});
        MediaTag row;
        row.Title = QStringLiteral("Row");
        const TagProperties bounded = OutputProperties(many, row);
        qint64 chars = 0;
        for (const QStringList &values : bounded)
            chars += values.join(QLatin1Char('/')).size();
        QVERIFY(2 * chars <= MaxTagTextBytes);
        QVERIFY(bounded.size() >= 2 && bounded.size() < 5);
        QCOMPARE(bounded.value(QStringLiteral("TITLE")), QStringList{QStringLiteral("Row")});

        for (const auto &[text, kept] : QList<QPair<QString, QString>>{{QStringLiteral("3"), QStringLiteral("3")},
                                                                       {QStringLiteral(" 03 / 12 "), QStringLiteral("3/12")},
                                                                       {QStringLiteral("5/3"), QStringLiteral("5")},
                                                                       {QStringLiteral("3/0"), QStringLiteral("3")},
                                                                       {QStringLiteral("abc/xyz"), QString()},
                                                                       {QStringLiteral("-7/-3"), QString()},
                                                                       {QStringLiteral("999999/0"), QString()},
                                                                       {QStringLiteral("-1"), QString()},
                                                                       {QStringLiteral("0"), QString()},
                                                                       {QStringLiteral("2 of 3"), QString()}}) {
            const TagProperties numbers = OutputProperties(
                {{QStringLiteral("TRACKNUMBER"), {text}}, {QStringLiteral("DISCNUMBER"), {text}}}, {});
            QCOMPARE(numbers.value(QStringLiteral("TRACKNUMBER")).value(0), kept);
            QCOMPARE(numbers.value(QStringLiteral("DISCNUMBER")).value(0), kept);
        }
    }

    void wmaTrackNumbersCountFromOne()
    {
        const QString wma = path("old.wma");
        QVERIFY(TestMedia::convert(m_wav, wma, {QStringLiteral("-c:a"), QStringLiteral("wmav2")}));
        const QString tagger = QStringLiteral("import sys\n"
                                              "from mutagen.asf import ASF, ASFDWordAttribute\n"
                                              "f = ASF(sys.argv[1])\n"
                                              "f.clear()\n"
                                              "f['WM/Track'] = [ASFDWordAttribute(2)]\n"
                                              "if len(sys.argv) > 2: f['WM/TrackNumber'] = [sys.argv[2]]\n"
                                              "f.save()\n");
        QVERIFY(TestMedia::python(tagger, {wma}));
        QCOMPARE(ReadSourceTags(wma).properties.value(QStringLiteral("TRACKNUMBER")), QStringList{QStringLiteral("3")});
        QVERIFY(TestMedia::python(tagger, {wma, QStringLiteral("7")}));
        QCOMPARE(ReadSourceTags(wma).properties.value(QStringLiteral("TRACKNUMBER")), QStringList{QStringLiteral("7")});
    }

    void coversAreMadeSmall_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("make"); // lavfi source, then ffmpeg's extra arguments
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<bool>("kept");
        const QStringList pattern = {QString()};
        QTest::newRow("square PNG") << QStringLiteral("a.png") << QSize(1500, 1500) << pattern << QSize(500, 500) << false;
        QTest::newRow("huge PNG") << QStringLiteral("b.png") << QSize(6000, 4000) << QStringList{QStringLiteral("color=c=red")}
                                  << QSize(500, 333) << false;
        QTest::newRow("tall JPEG") << QStringLiteral("c.jpg") << QSize(300, 1200) << pattern << QSize(125, 500) << false;
        QTest::newRow("tiny PNG, never enlarged")
            << QStringLiteral("d.png") << QSize(40, 30) << pattern << QSize(40, 30) << false;
        QTest::newRow("small lean baseline JPEG, kept")
            << QStringLiteral("e.jpg") << QSize(200, 200) << QStringList{QString(), QStringLiteral("-q:v"), QStringLiteral("31")}
            << QSize(200, 200) << true;
        QTest::newRow("progressive JPEG") << QStringLiteral("f.jpg") << QSize(800, 600)
                                          << QStringList{QStringLiteral("progressive")} << QSize(500, 375) << false;
        QTest::newRow("small progressive JPEG") << QStringLiteral("g.jpg") << QSize(200, 100)
                                                << QStringList{QStringLiteral("progressive")} << QSize(200, 100) << false;
    }

    void coversAreMadeSmall()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QStringList, make);
        QFETCH(QSize, expected);
        QFETCH(bool, kept);
        const QString file = m_dir.filePath(name);
        if (make.value(0) == QLatin1String("progressive")) {
            const QString plain = m_dir.filePath(QStringLiteral("plain-") + name);
            QVERIFY(TestMedia::makePicture(plain, size.width(), size.height()));
            QVERIFY(
                TestMedia::run(QStringLiteral("convert"), {plain, QStringLiteral("-interlace"), QStringLiteral("JPEG"), file}));
            QCOMPARE(TestMedia::pictureFacts(readAll(file)).interlace, QStringLiteral("JPEG"));
        } else {
            QVERIFY(TestMedia::makePicture(file, size.width(), size.height(), make.value(0), make.mid(1)));
        }
        const QByteArray original = readAll(file);
        QString error;
        const QByteArray small = CoverImage::MakeSmall(original, &error);
        QVERIFY2(!small.isEmpty(), qPrintable(error));
        const TestMedia::PictureFacts facts = TestMedia::pictureFacts(small);
        QCOMPARE(facts.format, QStringLiteral("JPEG"));
        QCOMPARE(QSize(facts.width, facts.height), expected);
        QCOMPARE(facts.interlace, QStringLiteral("None"));
        const CoverImage::JpegFacts header = CoverImage::ReadJpegFacts(small);
        QVERIFY(header.baseline);
        QCOMPARE(QSize(header.width, header.height), expected);
        QCOMPARE(small == original, kept);
    }

    void aCoverThatCannotBeDecodedIsLeftOut()
    {
        const QByteArray png = readAll(path("front.png"));
        QByteArray flipped = png;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x55);
        QVERIFY(TestMedia::makePicture(path("whole.jpg"), 600, 600));
        const QByteArray jpeg = readAll(path("whole.jpg"));
        for (const QByteArray &damaged : {png.left(png.size() / 2), flipped, jpeg.left(jpeg.size() / 3), QByteArray("GIF89a"),
                                          QByteArray(5000, 'x'), QByteArray()}) {
            QString error;
            QVERIFY(CoverImage::MakeSmall(damaged, &error).isEmpty());
            QVERIFY(!error.isEmpty());
        }

        // A transparent picture lies on white.
        QVERIFY(TestMedia::run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                                QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("color=c=black@0.0:s=64x64,format=rgba"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), path("clear.png")}));
        QFile small(path("clear-small.jpg"));
        QVERIFY(small.open(QIODevice::WriteOnly));
        small.write(CoverImage::MakeSmall(readAll(path("clear.png"))));
        small.close();
        QByteArray pixels;
        QVERIFY(TestMedia::run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), small.fileName(),
                                QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                                QStringLiteral("gray"), QStringLiteral("-")},
                               &pixels));
        QCOMPARE(pixels.size(), 64 * 64);
        QVERIFY(std::all_of(pixels.begin(), pixels.end(), [](char c) { return static_cast<unsigned char>(c) >= 250; }));
    }

    void theCoverBesideTheSourceIsTakenOncePerFolder()
    {
        QTemporaryDir album;
        const QString one = album.filePath(QStringLiteral("01.wav")), two = album.filePath(QStringLiteral("02.wav"));
        QVERIFY(QFile::copy(m_wav, one) && QFile::copy(m_wav, two));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("Front.PNG")), 300, 300));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("COVER.Jpg")), 1000, 800));
        QCOMPARE(CoverFileBeside(one), album.filePath(QStringLiteral("COVER.Jpg")));
        const QByteArray cover = SmallFrontCover({}, {}, one);
        QCOMPARE(TestMedia::pictureFacts(cover).width, 500);
        QCOMPARE(TestMedia::pictureFacts(cover).height, 400);
        // An embedded front cover wins over the folder's, a disc's cover over both.
        const QByteArray embedded = SmallFrontCover({}, {{EmbeddedPicture::FrontCover, {}, readAll(path("front.png"))}}, one);
        QCOMPARE(TestMedia::pictureFacts(embedded).height, 500);
        QVERIFY(TestMedia::makePicture(path("disc.png"), 100, 100));
        const QByteArray disc = SmallFrontCover(readAll(path("disc.png")),
                                                {{EmbeddedPicture::FrontCover, {}, readAll(path("front.png"))}}, {});
        QCOMPARE(TestMedia::pictureFacts(disc).width, 100);
        QVERIFY(QFile::remove(album.filePath(QStringLiteral("Front.PNG"))));
        const QByteArray coverFile = readAll(album.filePath(QStringLiteral("COVER.Jpg")));
        QVERIFY(QFile::remove(album.filePath(QStringLiteral("COVER.Jpg"))));
        QCOMPARE(SmallFrontCover({}, {}, one), QByteArray());

        // A damaged cover is left out, with one line in the log for the whole folder.
        QFile damaged(album.filePath(QStringLiteral("folder.jpg")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(coverFile.left(coverFile.size() / 2));
        damaged.close();
        LogCatcher log;
        QVERIFY(SmallFrontCover({}, {}, one).isEmpty());
        QVERIFY(SmallFrontCover({}, {}, two).isEmpty());
        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines().first().contains(QLatin1String("left out")), qPrintable(log.lines().first()));
        // A damaged embedded cover gives way to a good one beside the source.
        QVERIFY(QFile::remove(damaged.fileName()));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("album.png")), 200, 100));
        const QByteArray fallback = SmallFrontCover({}, {{EmbeddedPicture::FrontCover, {}, coverFile.left(400)}}, one);
        QCOMPARE(TestMedia::pictureFacts(fallback).width, 200);
        QCOMPARE(log.lines().size(), 2);

        // Only regular files are covers: a link to /dev/zero and a pipe named as covers are passed
        // over (neither read without end nor waited on) for the next picture.
        QTemporaryDir odd;
        const QString source = odd.filePath(QStringLiteral("01.wav"));
        QVERIFY(QFile::copy(m_wav, source));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), odd.filePath(QStringLiteral("cover.jpg"))));
        QCOMPARE(::mkfifo(QFile::encodeName(odd.filePath(QStringLiteral("folder.jpg"))).constData(), 0600), 0);
        QCOMPARE(CoverFileBeside(source), QString());
        QVERIFY(SmallFrontCover({}, {}, source).isEmpty());
        QVERIFY(TestMedia::makePicture(odd.filePath(QStringLiteral("album.png")), 120, 90));
        QCOMPARE(CoverFileBeside(source), odd.filePath(QStringLiteral("album.png")));
        QCOMPARE(TestMedia::pictureFacts(SmallFrontCover({}, {}, source)).width, 120);
    }
};

QTEST_GUILESS_MAIN(TestAudioInformation)
#include "test_audioinformation.moc"
