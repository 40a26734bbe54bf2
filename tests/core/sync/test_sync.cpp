// Keeping a player folder in step with a library, end to end on a library made at test time:
// the plan, carrying it out with the real fastencc, the play lists and the refusals.

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "core/media/audioinformation.h"
#include "core/output/naming.h"
#include "core/playlist/playlist.h"
#include "core/sync/audiofingerprint.h"
#include "core/sync/synccommand.h"
#include "core/sync/syncplan.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;
using Kind = SyncItem::Kind;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under folder, relative, with a hash of its bytes.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        files.insert(QDir(folder).relativeFilePath(path), QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha1));
    }
    return files;
}

// Tags an MP3 with mutagen: title, track and disc (when given), with room in the tag for a later
// edit of the same size.
bool TagMp3(const QString &path, const QString &title, const QString &track, const QString &disc = {})
{
    return TestMedia::python(QStringLiteral("import sys\n"
                                            "from mutagen.id3 import ID3, TIT2, TRCK, TPOS, TPE1, TALB\n"
                                            "t = ID3()\n"
                                            "t.add(TIT2(encoding=3, text=sys.argv[2]))\n"
                                            "t.add(TRCK(encoding=3, text=sys.argv[3]))\n"
                                            "if sys.argv[4]: t.add(TPOS(encoding=3, text=sys.argv[4]))\n"
                                            "t.add(TPE1(encoding=3, text='Singer'))\n"
                                            "t.add(TALB(encoding=3, text='Record'))\n"
                                            "t.save(sys.argv[1], padding=lambda info: 2048)\n"),
                             {path, title, track, disc});
}

// Runs a program of the file-system tools (mkfs.vfat, mtools) in a UTF-8 locale; its output when
// it fails.
QString RunTool(const QString &name, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(name).isEmpty()
        ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
        : QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return name + QStringLiteral(" is missing (bash tools/install-deps.sh --test)");
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(120000)) {
        tool.kill();
        tool.waitForFinished();
        return name + QStringLiteral(" did not end");
    }
    const QString output = QString::fromUtf8(tool.readAll());
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0 ? QString() : name + QStringLiteral(": ") + output;
}

struct Capture
{
    std::FILE *file = std::tmpfile();
    ~Capture() { std::fclose(file); }
    QString text() const
    {
        std::fflush(file);
        std::rewind(file);
        QByteArray bytes;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, qsizetype(n));
        return QString::fromLocal8Bit(bytes);
    }
};

} // namespace

class TestSync : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_library;
    QString m_player;

    QString lib(const QString &relative) const { return m_library + QLatin1Char('/') + relative; }

    bool makeMp3(const QString &relative, double seconds, int frequency, const QString &title, const QString &track)
    {
        return makeMp3At(lib(relative), seconds, frequency, title, track);
    }

    bool makeMp3At(const QString &path, double seconds, int frequency, const QString &title, const QString &track,
                   const QString &disc = {})
    {
        QDir().mkpath(QFileInfo(path).path());
        const QString wav = m_dir.filePath(QStringLiteral("tone.wav"));
        return TestMedia::makeTone(wav, seconds, 44100, 2, frequency)
            && TestMedia::convert(
                   wav, path,
                   {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k")})
            && TagMp3(path, title, track, disc);
    }

    SyncRequest request() const
    {
        SyncRequest r;
        r.library = m_library;
        r.player = m_player;
        return r;
    }

    int sync(QStringList extra, QString *out = nullptr) { return syncFolders(m_library, m_player, extra, out); }

    int syncFolders(const QString &library, const QString &player, QStringList extra, QString *out = nullptr)
    {
        SyncCommand command;
        command.library = library;
        command.player = player;
        command.dryRun = extra.contains(QStringLiteral("--dry-run"));
        command.yes = extra.contains(QStringLiteral("--yes"));
        command.encoderPath = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
        command.maxParallel = 2;
        Capture o, e;
        const int status = RunSyncCommand(command, o.file, e.file);
        if (out)
            *out = o.text() + e.text();
        return status;
    }

    static const SyncItem *find(const SyncPlan &plan, Kind kind, const QString &relativeEnd)
    {
        for (const SyncItem &item : plan.items) {
            const QString name = item.kind == Kind::Gone ? item.output : item.relative;
            if (item.kind == kind && name.endsWith(relativeEnd))
                return &item;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_library = m_dir.filePath(QStringLiteral("library"));
        m_player = m_dir.filePath(QStringLiteral("player"));
        QVERIFY(QDir().mkpath(m_player));
        QVERIFY(makeMp3(QStringLiteral("Artist/Album1/01 a.mp3"), 1.0, 440, QStringLiteral("Alpha"), QStringLiteral("1")));
        QVERIFY(makeMp3(QStringLiteral("Artist/Album1/02 b.mp3"), 1.1, 550, QStringLiteral("Beta"), QStringLiteral("2")));
        QVERIFY(makeMp3(QStringLiteral("Artist/Album1/10 e.mp3"), 1.2, 660, QStringLiteral("Echo"), QStringLiteral("10")));
        QVERIFY(TestMedia::makeTone(lib(QStringLiteral("Artist/Album1/03 c.wav")), 1.3, 44100, 2, 770));
        QVERIFY(makeMp3(QStringLiteral("Artist/Album2/01 d.mp3"), 1.4, 880, QStringLiteral("Delta"), QStringLiteral("1")));
        // Not sources: another system's leftovers.
        QFile::copy(lib(QStringLiteral("Artist/Album1/01 a.mp3")), lib(QStringLiteral("Artist/Album1/._01 a.mp3")));
        QFile ds(lib(QStringLiteral("Artist/.DS_Store")));
        QVERIFY(ds.open(QIODevice::WriteOnly) && ds.write("x") == 1);
    }

    void fingerprintIsTheAudioNotTheTags()
    {
        const QString a = lib(QStringLiteral("Artist/Album1/01 a.mp3"));
        const QString copy = m_dir.filePath(QStringLiteral("retagged.mp3"));
        QVERIFY(QFile::copy(a, copy));
        QVERIFY(TagMp3(copy, QStringLiteral("Something else entirely"), QStringLiteral("7")));
        const auto before = ReadAudioFingerprint(a);
        const auto after = ReadAudioFingerprint(copy);
        QVERIFY(before && after);
        QCOMPARE(after->hash, before->hash);
        QVERIFY(SourceTagsHash(copy) != SourceTagsHash(a));
        QVERIFY(std::abs(before->durationMs - 1000) < 100);
        const auto other = ReadAudioFingerprint(lib(QStringLiteral("Artist/Album1/02 b.mp3")));
        QVERIFY(other && other->hash != before->hash);
        QVERIFY(!ReadAudioFingerprint(lib(QStringLiteral("Artist/.DS_Store"))));
        QFile::remove(copy);
    }

    void playlistTexts()
    {
        QList<PlaylistEntry> entries{{QStringLiteral("b.mp3"), 2, 1, QStringLiteral("X"), QStringLiteral("Two-one"), 61},
                                     {QStringLiteral("0 none.mp3"), 2, 0, {}, {}, 3},
                                     {QStringLiteral("10 z.mp3"), 1, 0, {}, {}, 5},
                                     {QStringLiteral("2 z.mp3"), 1, 0, {}, {}, 5},
                                     {QStringLiteral("a.mp3"), 1, 3, QStringLiteral("X"), QStringLiteral("One-three"), 1}};
        const QByteArray text = PlaylistText(entries, QStringLiteral("#k"));
        QCOMPARE(text,
                 QByteArray("#EXTM3U\n# Sveltra #k\n"
                            "#EXTINF:1,X - One-three\na.mp3\n"
                            "#EXTINF:5,2 z\n2 z.mp3\n#EXTINF:5,10 z\n10 z.mp3\n#EXTINF:61,X - Two-one\nb.mp3\n#EXTINF:3,0 "
                            "none\n0 none.mp3\n"));
        const QString path = m_dir.filePath(QStringLiteral("list.m3u8"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        const auto back = ReadOwnPlaylist(path, QStringLiteral("#k"));
        QVERIFY(back && back->size() == 5 && back->at(3).file == QLatin1String("b.mp3"));
        QVERIFY(!ReadOwnPlaylist(path, QStringLiteral("#other")));
        QFile::remove(path);
        // A folder whose name is as long as the file system takes still gets its list.
        const QString longFolder = m_dir.filePath(QString(85, QChar(0x4E50)));
        QVERIFY(QDir().mkpath(longFolder));
        const QString longList = AlbumListPath(longFolder);
        QVERIFY2(longList.endsWith(QLatin1String(".m3u8")) && QFileInfo(longList).fileName().toUtf8().size() <= 255,
                 qPrintable(longList));
        QCOMPARE(PutPlaylist(longList, text, QStringLiteral("#k")), ListWrite::Written);
        QCOMPARE(PutPlaylist(longList, text, QStringLiteral("#k")), ListWrite::Unchanged);
        QCOMPARE(PutPlaylist(longList, text, QStringLiteral("#other")), ListWrite::Foreign);
        QCOMPARE(PutPlaylist(longList, QByteArray(), QStringLiteral("#k")), ListWrite::Removed);
        QVERIFY(QDir(longFolder).removeRecursively());
    }

    // The whole story: a first sync, a second that does nothing, then a deleted, a renamed, a
    // moved album, a tag edit that keeps size and time, and a new track.
    void syncFollowsTheLibrary()
    {
        // The person's own files on the player are never touched.
        const QString mine = m_player + QStringLiteral("/mine.mp3");
        QVERIFY(QFile::copy(lib(QStringLiteral("Artist/Album2/01 d.mp3")), mine));
        QVERIFY(QDir().mkpath(m_player + QStringLiteral("/Artist/Album1")));
        const QString theirList = m_player + QStringLiteral("/Artist/Album1/notes.txt");
        QFile note(theirList);
        QVERIFY(note.open(QIODevice::WriteOnly) && note.write("mine") == 4);
        note.close();

        SyncPlan plan = PlanSync(request());
        QVERIFY2(plan.refusal.isEmpty(), qPrintable(plan.refusal));
        QCOMPARE(plan.count(Kind::New), 5);
        QCOMPARE(plan.items.size(), 5);
        QVERIFY(plan.addedBytes() > 5 * 8000 && plan.freedBytes() == 0 && plan.fits());
        for (const SyncItem &item : plan.items)
            QVERIFY2(!item.relative.contains(QStringLiteral("._")), qPrintable(item.relative));

        QString out;
        QCOMPARE(sync({}, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("[5/5]")), qPrintable(out));
        const QString prefix = OutputPrefix(1, 1);
        const QString album1 = m_player + QStringLiteral("/Artist/Album1/");
        for (const QString &name : {QStringLiteral("01 a.mp3"), QStringLiteral("02 b.mp3"), QStringLiteral("10 e.mp3")})
            QVERIFY2(QFileInfo::exists(album1 + prefix + name), qPrintable(album1 + prefix + name));
        QVERIFY(QFileInfo::exists(album1 + prefix + QStringLiteral("03 c.MP3")));
        QVERIFY(QFileInfo::exists(m_player + QStringLiteral("/Artist/Album2/") + prefix + QStringLiteral("01 d.mp3")));

        // The lists: the album's in track order, everything at the root; each entry is a file.
        const QByteArray list = ReadAll(album1 + QStringLiteral("Album1.m3u8"));
        QVERIFY2(list.startsWith("#EXTM3U\n"), list.constData());
        const QList<QByteArray> lines = list.split('\n');
        QStringList files;
        for (const QByteArray &line : lines) {
            if (!line.isEmpty() && !line.startsWith('#'))
                files << QString::fromUtf8(line);
        }
        // The WAV has no track number: it follows the numbered tracks.
        QCOMPARE(files,
                 QStringList({prefix + QStringLiteral("01 a.mp3"), prefix + QStringLiteral("02 b.mp3"),
                              prefix + QStringLiteral("10 e.mp3"), prefix + QStringLiteral("03 c.MP3")}));
        QVERIFY(list.contains("#EXTINF:1,Singer - Alpha\n"));
        const auto whole = ReadOwnPlaylist(m_player + QLatin1Char('/') + WholePlayerListName(), plan.libraryKey);
        QVERIFY(whole && whole->size() == 5);
        for (const PlaylistEntry &entry : *whole) {
            QVERIFY2(!entry.file.contains(QStringLiteral("..")) && !entry.file.contains(QLatin1Char('\\'))
                         && !entry.file.contains(QLatin1Char('%')),
                     qPrintable(entry.file));
            QVERIFY2(QFileInfo::exists(m_player + QLatin1Char('/') + entry.file), qPrintable(entry.file));
        }

        // Nothing changed: nothing to do.
        plan = PlanSync(request());
        QCOMPARE(plan.count(Kind::Unchanged), 5);
        QVERIFY(!plan.hasWork());
        const auto settled = Snapshot(m_player);
        QCOMPARE(sync({}, &out), 0);
        QCOMPARE(Snapshot(m_player), settled);

        // The library changes.
        QVERIFY(QFile::remove(lib(QStringLiteral("Artist/Album1/02 b.mp3"))));
        QVERIFY(
            QFile::rename(lib(QStringLiteral("Artist/Album1/03 c.wav")), lib(QStringLiteral("Artist/Album1/03 c (live).wav"))));
        QVERIFY(QDir().mkpath(lib(QStringLiteral("Other"))));
        QVERIFY(QDir().rename(lib(QStringLiteral("Artist/Album2")), lib(QStringLiteral("Other/Album2"))));
        const QString edited = lib(QStringLiteral("Artist/Album1/01 a.mp3"));
        const qint64 size = QFileInfo(edited).size();
        const QDateTime time = QFileInfo(edited).lastModified();
        QVERIFY(TagMp3(edited, QStringLiteral("Bravo"), QStringLiteral("1")));
        QFile touched(edited);
        QVERIFY(touched.open(QIODevice::ReadWrite) && touched.setFileTime(time, QFileDevice::FileModificationTime));
        touched.close();
        QCOMPARE(QFileInfo(edited).size(), size);
        QCOMPARE(QFileInfo(edited).lastModified(), time);
        QVERIFY(makeMp3(QStringLiteral("Artist/Album1/05 f.mp3"), 1.0, 990, QStringLiteral("Foxtrot"), QStringLiteral("5")));

        const auto audioOf = [](const QString &path) { return ReadAudioFingerprint(path).value_or(AudioFingerprint{}).hash; };
        const QString movedFrom = m_player + QStringLiteral("/Artist/Album2/") + prefix + QStringLiteral("01 d.mp3");
        const QString movedAudio = audioOf(movedFrom);
        const QString retagAudio = audioOf(album1 + prefix + QStringLiteral("01 a.mp3"));
        const QDateTime keptTime = QFileInfo(album1 + prefix + QStringLiteral("10 e.mp3")).lastModified();
        const QByteArray mineBefore = ReadAll(mine);

        plan = PlanSync(request());
        QCOMPARE(plan.count(Kind::New), 1);
        QCOMPARE(plan.count(Kind::Gone), 1);
        QCOMPARE(plan.count(Kind::Moved), 2);
        QCOMPARE(plan.count(Kind::TagsOnly), 1);
        QCOMPARE(plan.count(Kind::Unchanged), 1);
        QCOMPARE(plan.count(Kind::Changed), 0);
        QVERIFY(find(plan, Kind::New, QStringLiteral("05 f.mp3")));
        QVERIFY(find(plan, Kind::Gone, prefix + QStringLiteral("02 b.mp3")));
        QVERIFY(find(plan, Kind::Moved, QStringLiteral("03 c (live).wav")));
        QVERIFY(find(plan, Kind::Moved, QStringLiteral("Other/Album2/01 d.mp3")));
        QVERIFY(find(plan, Kind::TagsOnly, QStringLiteral("01 a.mp3")));
        QVERIFY(!plan.removesMostOutputs());
        const QString planText = SyncPlanLines(plan).join(QLatin1Char('\n'));
        QVERIFY2(planText.contains(QStringLiteral("删除：Artist/Album1/") + prefix + QStringLiteral("02 b.mp3")),
                 qPrintable(planText));
        QVERIFY2(planText.contains(QStringLiteral("移动：Artist/Album2/") + prefix + QStringLiteral("01 d.mp3 → Other/Album2/")),
                 qPrintable(planText));

        // A dry run changes nothing; the sync does what was planned: one encode.
        QCOMPARE(sync({QStringLiteral("--dry-run")}, &out), 0);
        QCOMPARE(Snapshot(m_player), settled);
        QCOMPARE(sync({}, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("[1/1]")) && !out.contains(QStringLiteral("[2/")), qPrintable(out));
        QCOMPARE(ReadAll(mine), mineBefore);
        QCOMPARE(ReadAll(theirList), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(album1 + prefix + QStringLiteral("02 b.mp3")));
        QVERIFY(!QFileInfo::exists(album1 + prefix + QStringLiteral("03 c.MP3")));
        QVERIFY(QFileInfo::exists(album1 + prefix + QStringLiteral("03 c (live).MP3")));
        QVERIFY(!QFileInfo::exists(m_player + QStringLiteral("/Artist/Album2")));
        const QString movedTo = m_player + QStringLiteral("/Other/Album2/") + prefix + QStringLiteral("01 d.mp3");
        QCOMPARE(audioOf(movedTo), movedAudio);
        QCOMPARE(audioOf(album1 + prefix + QStringLiteral("01 a.mp3")), retagAudio);
        AudioInformation info;
        QVERIFY(info.ReadFile(album1 + prefix + QStringLiteral("01 a.mp3")));
        QCOMPARE(info.Title, QStringLiteral("Bravo"));
        QCOMPARE(QFileInfo(album1 + prefix + QStringLiteral("10 e.mp3")).lastModified(), keptTime);
        QVERIFY(
            ReadAll(m_player + QStringLiteral("/Other/Album2/Album2.m3u8")).contains(QByteArray(prefix.toUtf8() + "01 d.mp3\n")));
        const QByteArray newList = ReadAll(album1 + QStringLiteral("Album1.m3u8"));
        QVERIFY2(newList.contains("Singer - Bravo") && newList.contains("05 f.mp3") && !newList.contains("02 b.mp3"),
                 newList.constData());
        const auto wholeAfter = ReadOwnPlaylist(m_player + QLatin1Char('/') + WholePlayerListName(), plan.libraryKey);
        QVERIFY(wholeAfter && wholeAfter->size() == 5);
        for (const PlaylistEntry &entry : *wholeAfter)
            QVERIFY2(QFileInfo::exists(m_player + QLatin1Char('/') + entry.file), qPrintable(entry.file));

        // And again: nothing.
        plan = PlanSync(request());
        QVERIFY2(!plan.hasWork(), qPrintable(SyncPlanLines(plan).join(QLatin1Char('\n'))));
        const auto after = Snapshot(m_player);
        QCOMPARE(sync({}, &out), 0);
        QCOMPARE(Snapshot(m_player), after);
    }

    // A library that is not there, or empty, removes nothing; a sync that would remove most of
    // the outputs waits for a yes.
    void refusals()
    {
        const auto before = Snapshot(m_player);
        const QString away = m_dir.filePath(QStringLiteral("away"));
        QVERIFY(QDir().rename(m_library, away));
        QString out;
        QCOMPARE(sync({}, &out), 1);
        QVERIFY2(out.contains(QStringLiteral("音乐库文件夹不存在")), qPrintable(out));
        QVERIFY(QDir().mkpath(m_library));
        QCOMPARE(sync({}, &out), 1);
        QVERIFY2(out.contains(QStringLiteral("没有音频文件")), qPrintable(out));
        QCOMPARE(Snapshot(m_player), before);
        QVERIFY(QDir().rmdir(m_library));
        QVERIFY(QDir().rename(away, m_library));

        // Four of five sources gone: asked first.
        const QString keep = m_dir.filePath(QStringLiteral("kept"));
        QVERIFY(QDir().rename(lib(QStringLiteral("Artist")), keep));
        QVERIFY(makeMp3(QStringLiteral("Solo/01 s.mp3"), 0.5, 330, QStringLiteral("Solo"), QStringLiteral("1")));
        const SyncPlan plan = PlanSync(request());
        QVERIFY(plan.removesMostOutputs());
        QCOMPARE(sync({}, &out), 3);
        QCOMPARE(Snapshot(m_player), before);
        QVERIFY(QDir(lib(QStringLiteral("Solo"))).removeRecursively());
        QVERIFY(QDir().rename(keep, lib(QStringLiteral("Artist"))));
    }

    // The program itself, without a display: a dry run changes nothing, the sync does the one
    // encode planned, a second does nothing.
    void programSyncsWithoutDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        const auto run = [&](const QStringList &extra, QByteArray *out) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(SVELTRA_BIN_DIR "/sveltra"),
                          QStringList{QStringLiteral("--sync"), m_library, m_player} + extra);
            if (!program.waitForFinished(120000))
                program.kill();
            *out = program.readAllStandardOutput() + program.readAllStandardError();
            return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        };
        QVERIFY(makeMp3(QStringLiteral("Artist/Album1/06 g.mp3"), 0.8, 1100, QStringLiteral("Golf"), QStringLiteral("6")));
        const auto before = Snapshot(m_player);
        QByteArray out;
        QCOMPARE(run({QStringLiteral("--dry-run")}, &out), 0);
        QVERIFY2(QString::fromLocal8Bit(out).contains(QStringLiteral("新增：Artist/Album1/06 g.mp3")), out.constData());
        QCOMPARE(Snapshot(m_player), before);
        QCOMPARE(run({}, &out), 0);
        QVERIFY2(out.contains("[1/1]"), out.constData());
        QVERIFY(
            QFileInfo::exists(m_player + QStringLiteral("/Artist/Album1/") + OutputPrefix(1, 1) + QStringLiteral("06 g.mp3")));
        const auto after = Snapshot(m_player);
        QCOMPARE(run({}, &out), 0);
        QVERIFY2(!out.contains("[1/"), out.constData());
        QCOMPARE(Snapshot(m_player), after);
        QCOMPARE(run({QStringLiteral("--dry-run"), QStringLiteral("--yes")}, &out), 0);
    }

    // A library synced to an empty player folder, copied onto a FAT32 card and back (mtools: no
    // mount): every file comes back byte for byte under its name (long Chinese names, names with
    // characters FAT refuses as the program maps them), and every list entry names a file there,
    // relative to its list, album by album in disc and track order.
    void aPlayerComesBackWholeFromAFat32Card()
    {
        const QString library = m_dir.filePath(QStringLiteral("fatlibrary"));
        const QString player = m_dir.filePath(QStringLiteral("fatplayer"));
        QVERIFY(QDir().mkpath(player));
        QString longAlbum;
        while (longAlbum.size() < 70)
            longAlbum += QStringLiteral("一张名字很长的中文专辑");
        QString longSong = QStringLiteral("01 ");
        while (longSong.size() < 83)
            longSong += QStringLiteral("一首名字长得放不下的歌");
        longSong.truncate(83); // 247 bytes and ".mp3": the output's name is cut to fit
        struct Source
        {
            QString relative;
            QString title, track, disc;
        };
        const QList<Source> sources{
            {longAlbum + QLatin1Char('/') + longSong + QStringLiteral(".mp3"), QStringLiteral("长"), QStringLiteral("1"), {}},
            {longAlbum + QStringLiteral("/02 第二首.mp3"), QStringLiteral("第二首"), QStringLiteral("2"), {}},
            {QStringLiteral("Live: \"Best\" <Of>?/Vol. 2./01 A|B*C.mp3"), QStringLiteral("ABC"), QStringLiteral("1"), {}},
            {QStringLiteral("双碟 专辑/01 a.mp3"), QStringLiteral("二之一"), QStringLiteral("1"), QStringLiteral("2/2")},
            {QStringLiteral("双碟 专辑/02 b.mp3"), QStringLiteral("一之二"), QStringLiteral("2"), QStringLiteral("1/2")},
            {QStringLiteral("双碟 专辑/03 c.mp3"), QStringLiteral("一之一"), QStringLiteral("1"), QStringLiteral("1/2")},
        };
        int frequency = 300;
        for (const Source &source : sources)
            QVERIFY(makeMp3At(library + QLatin1Char('/') + source.relative, 0.6, frequency += 100, source.title, source.track,
                              source.disc));
        QString out;
        QCOMPARE(syncFolders(library, player, {}, &out), 0);
        const auto synced = Snapshot(player);
        QCOMPARE(synced.size(), sources.size() + 4); // three album lists and the whole player's
        const QString prefix = OutputPrefix(1, 1);
        QVERIFY(synced.contains(QStringLiteral("Live： ＂Best＂ ＜Of＞？/Vol. 2/") + prefix + QStringLiteral("01 A｜B＊C.mp3")));

        const QString card = m_dir.filePath(QStringLiteral("card.img"));
        const QString back = m_dir.filePath(QStringLiteral("fromcard"));
        QVERIFY(QDir().mkpath(back));
        QString failure = RunTool(
            QStringLiteral("mkfs.vfat"),
            {QStringLiteral("-F"), QStringLiteral("32"), QStringLiteral("-C"), card, QStringLiteral("65536")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = RunTool(QStringLiteral("mcopy"),
                          {QStringLiteral("-s"), QStringLiteral("-i"), card, player, QStringLiteral("::/")});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = RunTool(
            QStringLiteral("mcopy"),
            {QStringLiteral("-s"), QStringLiteral("-i"), card, QStringLiteral("::/fatplayer"), back + QLatin1Char('/')});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString copy = back + QStringLiteral("/fatplayer");
        QCOMPARE(Snapshot(copy), synced);

        // Every list's entries are files beside it, each album's in disc and track order.
        const QString key = LibraryKey(library);
        int listed = 0;
        for (const QString &relative : synced.keys()) {
            if (!relative.endsWith(QLatin1String(".m3u8")))
                continue;
            const QString folder = QFileInfo(copy + QLatin1Char('/') + relative).path();
            const auto entries = ReadOwnPlaylist(copy + QLatin1Char('/') + relative, key);
            QVERIFY2(entries && !entries->isEmpty(), qPrintable(relative));
            QPair<QString, QPair<int, int>> previous;
            for (const PlaylistEntry &entry : *entries) {
                QVERIFY2(!entry.file.contains(QStringLiteral("..")) && !entry.file.contains(QLatin1Char('\\')),
                         qPrintable(entry.file));
                const QString file = folder + QLatin1Char('/') + entry.file;
                QVERIFY2(QFileInfo(file).isFile(), qPrintable(entry.file));
                const SourceTags tags = ReadSourceTags(file);
                const auto number = [&tags](const char *name) {
                    return tags.properties.value(QString::fromLatin1(name)).value(0).section(QLatin1Char('/'), 0, 0).toInt();
                };
                const QPair<QString, QPair<int, int>> place{QFileInfo(entry.file).path(),
                                                            {number("DISCNUMBER"), number("TRACKNUMBER")}};
                QVERIFY2(place.first != previous.first || place.second > previous.second,
                         qPrintable(relative + QLatin1Char(' ') + entry.file));
                previous = place;
            }
            listed += relative.contains(QLatin1Char('/')) ? int(entries->size()) : 0;
        }
        QCOMPARE(listed, sources.size());
        const auto twoDiscs = ReadOwnPlaylist(copy + QStringLiteral("/双碟 专辑/双碟 专辑.m3u8"), key);
        QVERIFY(twoDiscs && twoDiscs->size() == 3);
        QCOMPARE(twoDiscs->at(0).file, prefix + QStringLiteral("03 c.mp3"));
        QCOMPARE(twoDiscs->at(2).file, prefix + QStringLiteral("01 a.mp3"));
    }
};

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
