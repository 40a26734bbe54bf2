// What goes from a source's tag into its output's: every tag of every kind of source, the run's
// values winning, what turns untrue left out, and bounds on what is copied.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "core/base/textcut.h"
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

} // namespace

class TestTagMap : public QObject
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
};

QTEST_GUILESS_MAIN(TestTagMap)
#include "test_tagmap.moc"
