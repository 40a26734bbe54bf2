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
            info.TagMode = AudioInformation::TagKind::Main;
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
        info.TagMode = AudioInformation::TagKind::Main;
        QVERIFY(info.ReadFile(mp3));
        QCOMPARE(info.Title, QString());
        info.TagMode = AudioInformation::TagKind::Id3v1;
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
        reader.TagMode = AudioInformation::TagKind::Main;
        QVERIFY(reader.ReadFile(mp3));
        QCOMPARE(reader.Title, writer.Title);
        QCOMPARE(reader.Album, writer.Album);
        QCOMPARE(reader.Year, 2001);
        QCOMPARE(reader.Comment, QString());
        QCOMPARE(reader.Genre, QString());
        reader.TagMode = AudioInformation::TagKind::Id3v1;
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
};

QTEST_GUILESS_MAIN(TestAudioInformation)
#include "test_audioinformation.moc"
