// The file list's name patterns, the format buttons' keys, and the audio files that paths
// named on the command line or handed over by another start stand for.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

#include "core/browse/audiofiles.h"
#include "core/browse/filepattern.h"

using namespace Sveltra;

class TestFilePattern : public QObject
{
    Q_OBJECT

private slots:
    void starAndQuestionMark_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        auto row = [](const char *tag, const char *p, const char *n, bool m) {
            QTest::newRow(tag) << QString::fromUtf8(p) << QString::fromUtf8(n) << m;
        };
        row("suffix", "*.MP3", "song.mp3", true);
        row("suffix upper", "*.MP3", "SONG.MP3", true);
        row("suffix mixed", "*.mp3", "Song.Mp3", true);
        row("other suffix", "*.MP3", "song.wav", false);
        row("suffix not last", "*.MP3", "song.mp3.txt", false);
        row("no dot", "*.MP3", "mp3", false);
        row("only suffix", "*.MP3", ".mp3", true);
        row("chinese", "*.MP3", "月亮代表我的心.MP3", true);
        row("star in middle", "a*c", "abbbc", true);
        row("star needs backtracking", "*ab*ab", "xabyabzab", true);
        row("star fails at end", "*ab*ab", "xabyabza", false);
        row("stars only", "**", "", true);
        row("question one", "track?.cda", "track1.cda", true);
        row("question not none", "track?.cda", "track.cda", false);
        row("question not two", "track?.cda", "track12.cda", false);
        row("brackets are literal", "[live]*", "[live] song.mp3", true);
        row("brackets not a set", "[live]*", "l song.mp3", false);
        row("plus is literal", "a+b.mp3", "a+b.mp3", true);
        row("plus is not repetition", "a+b.mp3", "aab.mp3", false);
        row("exact", "song.mp3", "SONG.MP3", true);
    }

    void starAndQuestionMark()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(FilePattern(pattern).matches(name), matches);
    }

    void allFilesListsEverything()
    {
        const FilePattern all(QStringLiteral("*.*"));
        QVERIFY(all.matches(QStringLiteral("README")));
        QVERIFY(all.matches(QStringLiteral("a.b")));
        QVERIFY(FilePattern(QString()).matches(QStringLiteral("anything")));
        QVERIFY(FilePattern(QStringLiteral("   ")).matches(QStringLiteral("anything")));
        QCOMPARE(FilePattern(QStringLiteral(" *.WMA ")).text(), QStringLiteral(" *.WMA "));
    }

    void severalPatterns()
    {
        const FilePattern some(QStringLiteral("*.mp3; *.WMA;"));
        QVERIFY(some.matches(QStringLiteral("a.MP3")));
        QVERIFY(some.matches(QStringLiteral("b.wma")));
        QVERIFY(!some.matches(QStringLiteral("c.wav")));
    }

    void longNamesStayLinear()
    {
        // Many stars against a long name that nearly matches: must finish and be right.
        const QString name = QString(4000, QLatin1Char('a'));
        QVERIFY(!WildcardMatch(QStringLiteral("*a*a*a*a*a*a*a*a*b"), name));
        QVERIFY(WildcardMatch(QStringLiteral("*a*a*a*a*a*a*a*a*"), name));
    }

    void formatKeysInTheirOrder()
    {
        QCOMPARE(PatternForFormatKey(QStringLiteral("ALL")), std::optional<QString>(QStringLiteral("*.*")));
        QCOMPARE(PatternForFormatKey(QStringLiteral("MP3")), std::optional<QString>(QStringLiteral("*.MP3")));
        QCOMPARE(PatternForFormatKey(QStringLiteral("CD")), std::optional<QString>(QStringLiteral("*.CDA")));
        QCOMPARE(PatternForFormatKey(QStringLiteral("WAV")), std::optional<QString>(QStringLiteral("*.WAV")));
        // Exact comparison: letter case and blanks count.
        QVERIFY(!PatternForFormatKey(QStringLiteral("mp3")));
        QVERIFY(!PatternForFormatKey(QStringLiteral("CDA")));
        QVERIFY(!PatternForFormatKey(QStringLiteral("ALL ")));
        QVERIFY(!PatternForFormatKey(QString()));
        QCOMPARE(FormatPatterns(),
                 (QStringList{QStringLiteral("*.*"), QStringLiteral("*.MP3"), QStringLiteral("*.WAV"), QStringLiteral("*.CDA")}));
    }
    void audioFilesOfFilesAndFolders()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString root = dir.path();
        auto touch = [&](const QString &relative) {
            const QString path = root + QLatin1Char('/') + relative;
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        };
        for (const char *name : {"album/10 ten.mp3", "album/2 two.MP3", "album/1 one.wav", "album/cover.jpg", "album/notes.txt",
                                 "album/.hidden.mp3", "album/b-side/a.wma", "album/a.flac", "album/.cache/x.mp3",
                                 "album/音乐/歌.ogg", "album/Z.Mp3", "single.mp3", "readme"})
            touch(QString::fromUtf8(name));
        // A link back up the tree is walked once.
        QVERIFY(QFile::link(root + QStringLiteral("/album"), root + QStringLiteral("/album/b-side/loop")));

        auto in = [&](const char *relative) -> QString { return root + QLatin1Char('/') + QString::fromUtf8(relative); };
        const QStringList files = AudioFilesIn({in("album")});
        // Numbers by value, letters without case, subfolders where they sort, hidden ones left out.
        QCOMPARE(files,
                 QStringList({in("album/1 one.wav"), in("album/2 two.MP3"), in("album/10 ten.mp3"), in("album/a.flac"),
                              in("album/b-side/a.wma"), in("album/Z.Mp3"), in("album/音乐/歌.ogg")}));
        // Handed over a folder at a time: the same files in the same order, in more than one piece.
        QList<QStringList> pieces;
        AudioFilesIn({in("album")}, [&](const QStringList &some) { pieces << some; });
        QVERIFY(pieces.size() > 1);
        QCOMPARE(std::accumulate(pieces.begin(), pieces.end(), QStringList()), files);

        // Files are taken as given, whatever their ending; relative paths become absolute; a
        // missing path is left out; a file named twice (also through its folder) appears once.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root));
        const QStringList mixed = AudioFilesIn({QStringLiteral("readme"), QStringLiteral("./album/../single.mp3"),
                                                QStringLiteral("missing.mp3"), QString(), in("album/Z.Mp3"), in("album/音乐"),
                                                in("single.mp3")});
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(mixed, QStringList({in("readme"), in("single.mp3"), in("album/Z.Mp3"), in("album/音乐/歌.ogg")}));
        QVERIFY(AudioFilesIn({}).isEmpty());
        QVERIFY(AudioFilesIn({in("album/cover.jpg/none")}).isEmpty());

        QVERIFY(IsAudioFileName(QStringLiteral("a.WMA")));
        QVERIFY(!IsAudioFileName(QStringLiteral("mp3")));
        QVERIFY(!IsAudioFileName(QStringLiteral(".mp3")));
        QVERIFY(!IsAudioFileName(QStringLiteral("song.mp3.part")));
    }
};

QTEST_APPLESS_MAIN(TestFilePattern)
#include "test_filepattern.moc"
