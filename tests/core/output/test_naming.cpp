// Output names, prefixes, encoder options, counters, sizes and ratios.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "core/joblist/celltexts.h"
#include "core/joblist/jobrules.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"

using namespace Sveltra;

class TestNaming : public QObject
{
    Q_OBJECT

private slots:
    void prefixes()
    {
        QCOMPARE(OutputPrefix(1, 1), QStringLiteral("D-CD-"));
        QCOMPARE(OutputPrefix(2, 2), QStringLiteral("D-Mono-FM-"));
        QCOMPARE(OutputPrefix(1, 4), QStringLiteral("D-PH-"));
        QCOMPARE(OutputPrefix(2, 3), QStringLiteral("D-Mono-TP-"));
        QCOMPARE(OutputPrefix(1, 0), QStringLiteral("D-"));
        QCOMPARE(OutputPrefix(2, 7), QStringLiteral("D-Mono-"));
        QCOMPARE(OutputPrefix(3, 1), QStringLiteral("D-CD-")); // only 2 is mono in the name
    }

    void encoderOptions()
    {
        QCOMPARE(BuildEncoderArgs(1, 2), QStringLiteral("  -br 64000 "));
        QCOMPARE(BuildEncoderArgs(2, 4), QStringLiteral(" -dm -br 16000 "));
        QCOMPARE(BuildEncoderArgs(1, 0), QStringLiteral(" "));
        QCOMPARE(BuildEncoderArgs(3, 1), QStringLiteral(" -dm -br 96000 ")); // any other channel is mono
        QCOMPARE(EncoderOptionList(BuildEncoderArgs(2, 1)),
                 (QStringList{QStringLiteral("-dm"), QStringLiteral("-br"), QStringLiteral("96000")}));
        QCOMPARE(EncoderOptionList(QStringLiteral(" ")), QStringList());
        QCOMPARE(EncoderCommandLine(QStringLiteral("/opt/sv/fastencc"), QStringLiteral("/m/a b.wav"),
                                    QStringLiteral("/o/D-CD-a b.MP3"), BuildEncoderArgs(1, 1)),
                 QStringLiteral("/opt/sv/fastencc \"/m/a b.wav\" \"/o/D-CD-a b.MP3\"  -br 96000 "));
    }

    void targetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("target");
        QTest::newRow("mp3 keeps its case") << QStringLiteral("Song.Mp3") << QString() << QStringLiteral("/out/D-CD-Song.Mp3");
        QTest::newRow("wav") << QStringLiteral("song.wav") << QString() << QStringLiteral("/out/D-CD-song.MP3");
        QTest::newRow("wma") << QStringLiteral("Song.wma") << QString() << QStringLiteral("/out/D-CD-Song.MP3");
        QTest::newRow("no extension") << QStringLiteral("longname") << QString() << QStringLiteral("/out/D-CD-longname.MP3");
        QTest::newRow("hidden, no extension") << QStringLiteral(".flac") << QString() << QStringLiteral("/out/D-CD-.flac.MP3");
        QTest::newRow("short") << QStringLiteral("a.b") << QString() << QStringLiteral("/out/D-CD-a.MP3");
        QTest::newRow("short, two-letter extension") << QStringLiteral("a.ok") << QString() << QStringLiteral("/out/D-CD-a.MP3");
        QTest::newRow("exactly four") << QStringLiteral(".mp3") << QString() << QStringLiteral("/out/D-CD-.mp3.MP3");
        QTest::newRow("cd track") << QStringLiteral("Track12.cda") << QStringLiteral("Intro")
                                  << QStringLiteral("/out/D-CD-12-Intro.MP3");
        QTest::newRow("cd title with slash") << QStringLiteral("Track03.CDA") << QStringLiteral("AC/DC: Live?")
                                             << QStringLiteral("/out/D-CD-03-AC／DC： Live？.MP3");
        QTest::newRow("chinese") << QStringLiteral("歌曲.wav") << QString() << QStringLiteral("/out/D-CD-歌曲.MP3");
        // An extension of any other length goes whole: no doubled dot.
        QTest::newRow("four-letter extension") << QStringLiteral("a.flac") << QString() << QStringLiteral("/out/D-CD-a.MP3");
        QTest::newRow("opus") << QStringLiteral("x.y.opus") << QString() << QStringLiteral("/out/D-CD-x.y.MP3");
        QTest::newRow("two-letter extension") << QStringLiteral("Song.ra") << QString() << QStringLiteral("/out/D-CD-Song.MP3");
        // What a card refuses becomes its full-width look-alike in file names too.
        QTest::newRow("card-unsafe file name") << QStringLiteral("What? Yes: \"No\" <a|b>*.wav") << QString()
                                               << QStringLiteral("/out/D-CD-What？ Yes： ＂No＂ ＜a｜b＞＊.MP3");
        QTest::newRow("backslash and control")
            << QStringLiteral("a\\b\x01.mp3") << QString() << QStringLiteral("/out/D-CD-a＼b_.mp3");
    }

    void targetNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(QString, target);
        QCOMPARE(TargetPath(QStringLiteral("/out/"), QStringLiteral("D-CD-"), name, title), target);
    }

    void longNamesAreShortened_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("fileName");

        const QString han = QStringLiteral("歌"); // three bytes in UTF-8
        const QString x = QStringLiteral("x");
        // "D-CD-" and ".MP3" take 9 of the 255 bytes, leaving 246 for the name part.
        QTest::newRow("chinese, 253-byte source") << han.repeated(83) + QStringLiteral(".wav") << QString()
                                                  << QStringLiteral("D-CD-") + han.repeated(82) + QStringLiteral(".MP3");
        QTest::newRow("chinese, exactly at the limit") << han.repeated(82) + QStringLiteral(".wma") << QString()
                                                       << QStringLiteral("D-CD-") + han.repeated(82) + QStringLiteral(".MP3");
        QTest::newRow("chinese, one byte over") << QStringLiteral("a") + han.repeated(82) + QStringLiteral(".wav") << QString()
                                                << QStringLiteral("D-CD-a") + han.repeated(81) + QStringLiteral(".MP3");
        QTest::newRow("latin, just under") << x.repeated(245) + QStringLiteral(".wav") << QString()
                                           << QStringLiteral("D-CD-") + x.repeated(245) + QStringLiteral(".MP3");
        QTest::newRow("latin, at") << x.repeated(246) + QStringLiteral(".wav") << QString()
                                   << QStringLiteral("D-CD-") + x.repeated(246) + QStringLiteral(".MP3");
        QTest::newRow("latin, just over") << x.repeated(247) + QStringLiteral(".wav") << QString()
                                          << QStringLiteral("D-CD-") + x.repeated(246) + QStringLiteral(".MP3");
        QTest::newRow("mp3 keeps its own extension") << x.repeated(300) + QStringLiteral(".Mp3") << QString()
                                                     << QStringLiteral("D-CD-") + x.repeated(246) + QStringLiteral(".Mp3");
        // The track number stays: "D-CD-07-" and ".MP3" leave 243 bytes, 81 characters.
        QTest::newRow("cd title of 100 characters") << QStringLiteral("Track07.cda") << han.repeated(100)
                                                    << QStringLiteral("D-CD-07-") + han.repeated(81) + QStringLiteral(".MP3");
        QTest::newRow("cd title replaced characters count in full")
            << QStringLiteral("Track07.cda") << QStringLiteral("/").repeated(100)
            << QStringLiteral("D-CD-07-") + QStringLiteral("／").repeated(81) + QStringLiteral(".MP3");
        // Never between the halves of a surrogate pair (four bytes each): 61 fit in 246.
        const QString face = QStringLiteral("\U0001F600");
        QTest::newRow("surrogate pairs") << face.repeated(70) + QStringLiteral(".wav") << QString()
                                         << QStringLiteral("D-CD-") + face.repeated(61) + QStringLiteral(".MP3");
        // A letter keeps its accent: "e" and U+0301 take three bytes together, 246 / 3 = 82.
        const QString accented = QStringLiteral("e\u0301");
        QTest::newRow("combining accents") << QStringLiteral("a") + accented.repeated(100) + QStringLiteral(".wav") << QString()
                                           << QStringLiteral("D-CD-a") + accented.repeated(81) + QStringLiteral(".MP3");
        // One "character" longer than the whole limit is cut between code points.
        QTest::newRow("one endless character")
            << QStringLiteral("e") + QStringLiteral("\u0301").repeated(300) + QStringLiteral(".wav") << QString()
            << QStringLiteral("D-CD-e") + QStringLiteral("\u0301").repeated(122) + QStringLiteral(".MP3");
    }

    void longNamesAreShortened()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(QString, fileName);
        // "/out/" does not exist: the common limit of 255 bytes applies.
        const QString target = TargetPath(QStringLiteral("/out/"), QStringLiteral("D-CD-"), name, title);
        QCOMPARE(target, QStringLiteral("/out/") + fileName);
        QVERIFY(QFile::encodeName(fileName).size() <= 255);
        QCOMPARE(TargetPath(QStringLiteral("/out/"), QStringLiteral("D-CD-"), name, title, 255), target);
        // The folder does not count, however long.
        const QString deep = QStringLiteral("/").repeated(2) + QStringLiteral("长").repeated(300) + QLatin1Char('/');
        QCOMPARE(TargetPath(deep, QStringLiteral("D-CD-"), name, title, 255), deep + fileName);
    }

    // FAT32 and exFAT take 255 UTF-16 units, whatever byte limit the folder here has; a copy's
    // number stays whole and the body gives way.
    void namesFitCards()
    {
        const QString x = QStringLiteral("x");
        const TargetNameParts parts = TargetFileNameParts(QStringLiteral("D-CD-"), x.repeated(300) + QStringLiteral(".wav"), {});
        QCOMPARE(FitTargetName(parts, 4000), QStringLiteral("D-CD-") + x.repeated(246) + QStringLiteral(".MP3"));
        QCOMPARE(FitTargetName(parts, 4000, 2), QStringLiteral("D-CD-") + x.repeated(242) + QStringLiteral(" (2).MP3"));
        QCOMPARE(FitTargetName(parts, 255, 12), QStringLiteral("D-CD-") + x.repeated(241) + QStringLiteral(" (12).MP3"));
        const QString han = QStringLiteral("歌");
        const TargetNameParts chinese = TargetFileNameParts(QStringLiteral("D-"), han.repeated(300) + QStringLiteral(".mp3"), {});
        QCOMPARE(FitTargetName(chinese, 4000), QStringLiteral("D-") + han.repeated(249) + QStringLiteral(".mp3"));
        QCOMPARE(FitTargetName(chinese, 255), QStringLiteral("D-") + han.repeated(83) + QStringLiteral(".mp3"));
        QCOMPARE(FitTargetName(TargetFileNameParts(QStringLiteral("D-"), QStringLiteral("a.wav"), {}), 255, 3),
                 QStringLiteral("D-a (3).MP3"));
    }

    void folderNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << QStringLiteral("Abbey Road") << QStringLiteral("Abbey Road");
        QTest::newRow("unsafe characters") << QStringLiteral("AC/DC: \"Live\" <1|2>?*\\")
                                           << QStringLiteral("AC／DC： ＂Live＂ ＜1｜2＞？＊＼");
        QTest::newRow("control characters") << QStringLiteral("a\tb\nc") << QStringLiteral("a_b_c");
        QTest::newRow("trailing dots and blanks") << QStringLiteral("Vol. 1. . ") << QStringLiteral("Vol. 1");
        QTest::newRow("leading ones stay") << QStringLiteral(" .hidden") << QStringLiteral(" .hidden");
        QTest::newRow("only dots") << QStringLiteral("...") << QStringLiteral("_");
        QTest::newRow("empty") << QString() << QStringLiteral("_");
        QTest::newRow("reserved") << QStringLiteral("CON") << QStringLiteral("CON_");
        QTest::newRow("reserved, any case") << QStringLiteral("nul") << QStringLiteral("nul_");
        QTest::newRow("reserved with extension") << QStringLiteral("com1.disc") << QStringLiteral("com1_.disc");
        QTest::newRow("reserved after trailing dots go") << QStringLiteral("LPT9..") << QStringLiteral("LPT9_");
        QTest::newRow("not reserved") << QStringLiteral("CONCERT") << QStringLiteral("CONCERT");
        QTest::newRow("not reserved: COM0") << QStringLiteral("COM0") << QStringLiteral("COM0");
        QTest::newRow("chinese") << QStringLiteral("专辑：一") << QStringLiteral("专辑：一");
        QTest::newRow("long") << QStringLiteral("y").repeated(300) << QStringLiteral("y").repeated(255);
        QTest::newRow("long, cut before a blank")
            << QStringLiteral("y").repeated(254) + QStringLiteral(" z") << QStringLiteral("y").repeated(254);
        QTest::newRow("long chinese") << QStringLiteral("长").repeated(100) << QStringLiteral("长").repeated(85);
    }

    void folderNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(SafeFolderName(name), safe);
    }

    void shortenedNameIsAccepted()
    {
        QTemporaryDir dir;
        const QString folder = NormalizeOutputFolder(dir.path());
        const int limit = MaximumFileNameBytes(folder);
        QVERIFY(limit > 12);
        QCOMPARE(MaximumFileNameBytes(folder + QStringLiteral("not/yet/made/")), limit);
        const QString name = QStringLiteral("长").repeated(limit / 3 + 1) + QStringLiteral(".wav");
        QFile full(folder + QStringLiteral("D-Mono-FM-") + name.chopped(4) + QStringLiteral(".MP3"));
        QVERIFY(!full.open(QIODevice::WriteOnly)); // what the encoder's rename would have met

        const QString target = TargetPath(folder, QStringLiteral("D-Mono-FM-"), name, QString());
        QVERIFY(target.endsWith(QStringLiteral("长.MP3")));
        QFile file(target);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(target).fileName()});
        QVERIFY(QFile::encodeName(QFileInfo(target).fileName()).size() > limit - 3);
    }

    void outputFolder()
    {
        QCOMPARE(NormalizeOutputFolder(QStringLiteral("/out")), QStringLiteral("/out/"));
        QCOMPARE(NormalizeOutputFolder(QStringLiteral("/out/")), QStringLiteral("/out/"));
        QCOMPARE(NormalizeOutputFolder(QString()), QString());
        QCOMPARE(TargetPath(NormalizeOutputFolder(QString()), QStringLiteral("D-"), QStringLiteral("x.mp3"), QString()),
                 QStringLiteral("D-x.mp3"));
        QCOMPARE(SafeFileNamePart(QStringLiteral("a\tb\x01|c")), QStringLiteral("a_b_｜c"));
    }

    void countersAndNumbers()
    {
        QCOMPARE(CounterText(0), QStringLiteral("000"));
        QCOMPARE(CounterText(7), QStringLiteral("007"));
        QCOMPARE(CounterText(123), QStringLiteral("123"));
        QCOMPARE(CounterText(1234), QStringLiteral("234"));
        QCOMPARE(NumericValue(QStringLiteral(" 12345")), 12345.0);
        QCOMPARE(NumericValue(QStringLiteral("222396.416")), 222396.416);
        QCOMPARE(NumericValue(QStringLiteral(" ")), 0.0);
        QCOMPARE(NumericValue(QStringLiteral("12abc")), 12.0);
        QCOMPARE(NumericValue(QStringLiteral("abc")), 0.0);
    }

    void ratios()
    {
        QCOMPARE(RatioPercent(38, 100), std::optional<qint64>(38));
        QCOMPARE(RatioPercent(1, 1000), std::optional<qint64>(0)); // below 1%: the cell is left alone
        QCOMPARE(RatioPercent(5, 0), std::nullopt);
        // Far beyond 16 bits: a target 1000 times its source.
        QCOMPARE(RatioPercent(4000000000.0, 4000000.0), std::optional<qint64>(100000));
        QCOMPARE(RatioPercent(6000000000.0, 180224.0), std::optional<qint64>(3329190));
        QCOMPARE(RatioText(38), QStringLiteral(" 38%"));
    }

    void fileSizes()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("a")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("12345");
        f.close();
        QCOMPARE(GetFileSizeText(f.fileName()), QStringLiteral(" 5"));
        QCOMPARE(GetFileSizeText(dir.filePath(QStringLiteral("missing"))), QStringLiteral(" "));
        QCOMPARE(GetFileSizeText(dir.path()), QStringLiteral(" "));
    }

    void durationsAndNames()
    {
        QCOMPARE(FormatDuration(245733), QStringLiteral("00:04:06"));
        QCOMPARE(FormatDuration(3599700), QStringLiteral("01:00:00"));
        QCOMPARE(FormatDuration(3599500), QStringLiteral("01:00:00"));
        QCOMPARE(FormatDuration(59999), QStringLiteral("00:01:00"));
        QCOMPARE(FormatDuration(500), QStringLiteral("00:00:00"));
        QCOMPARE(FormatDuration(1500), QStringLiteral("00:00:02"));
        QCOMPARE(FormatDuration(2500), QStringLiteral("00:00:02"));
        QCOMPARE(FormatDuration(0), QStringLiteral("00:00:00"));
        QCOMPARE(FormatDuration(400000000), QStringLiteral("111:06:40"));
        QCOMPARE(GetFileName(QStringLiteral("/m/x/a.mp3")), QStringLiteral("a.mp3"));
        QCOMPARE(GetFileName(QStringLiteral("a.mp3")), QStringLiteral("a.mp3"));
        QCOMPARE(GetFileName(QStringLiteral("/m/")), QString());
        QCOMPARE(MediaType(QStringLiteral("a.mp3")), QStringLiteral("MP3"));
        QCOMPARE(MediaType(QStringLiteral("a.cd")), QString());
        QCOMPARE(MediaType(QStringLiteral("/dev/sr0/Track01.cda")), QStringLiteral("CDA"));
    }
};

QTEST_GUILESS_MAIN(TestNaming)
#include "test_naming.moc"
