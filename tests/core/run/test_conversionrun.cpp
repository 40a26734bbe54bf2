// The conversion run end to end with the real fastencc: names, tags, row outcomes, failures,
// cancel, and several conversions at once giving the same files as one at a time.

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <utility>

#include <sys/resource.h>

#include "core/base/appstate.h"
#include "core/joblist/jobrows.h"
#include "core/joblist/jobrules.h"
#include "core/media/audioinformation.h"
#include "core/output/targets.h"
#include "core/playlist/playlist.h"
#include "core/run/conversionrun.h"
#include "core/run/runplaylists.h"
#include "core/run/runpreflight.h"
#include "core/run/runprogress.h"
#include "tests/support/cdimage.h"
#include "tests/support/jobtable.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

namespace {

// The job list as a plain table, its rows added by path.
class Table final : public TestSupport::JobTable
{
public:
    void add(const QString &path, const QString &title = QStringLiteral("Unknown"), int status = JobStatus::Queued)
    {
        Row r;
        const QString name = GetFileName(path);
        r.cells[JobColumn::Name] = name;
        r.cells[JobColumn::Source] = name;
        r.cells[JobColumn::SourcePath] = path.left(path.size() - name.size());
        r.cells[JobColumn::Title] = title;
        r.cells[JobColumn::Size] = QString::number(QFileInfo(path).size());
        r.status = status;
        rows << r;
    }
};

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RunResult
{
    bool cancelled = false;
    QList<int> ordinals;
    QStringList targets;
    int queuedAtStart = -1;
};

} // namespace

class TestConversionRun : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_output;
    int m_channel = 2;
    int m_quality = 2;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    ConversionRun::Environment environment(Table &table, int parallel, const QString &encoder = {})
    {
        ConversionRun::Environment env;
        env.rows = &table;
        env.outputFolder = [this] { return m_output; };
        env.setOutputFolder = [this](const QString &text) { m_output = text; };
        env.channelChoice = [this] { return m_channel; };
        env.qualityChoice = [this] { return m_quality; };
        env.encoderPath = encoder.isEmpty() ? QStringLiteral(SVELTRA_BIN_DIR "/fastencc") : encoder;
        env.tempBasePath = path(QStringLiteral("~sveltratmp"));
        env.maxParallel = parallel;
        return env;
    }

    RunResult runToEnd(ConversionRun &run, std::function<void(int)> onRowStarted = {})
    {
        RunResult result;
        connect(&run, &ConversionRun::started, this, [&result](int queued) { result.queuedAtStart = queued; });
        connect(&run, &ConversionRun::rowStarted, this, [&](int ordinal, const QString &, const QString &target) {
            result.ordinals << ordinal;
            result.targets << target;
            if (onRowStarted)
                onRowStarted(ordinal);
        });
        QSignalSpy finished(&run, &ConversionRun::finished);
        run.start();
        if (!finished.wait(240000))
            qFatal("the run did not finish");
        result.cancelled = finished.first().first().toBool();
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("song.wav")), 4.0, 44100, 2, 440));
        QVERIFY(TestMedia::convert(path(QStringLiteral("song.wav")), path(QStringLiteral("song.mp3")),
                                   {QStringLiteral("-b:a"), QStringLiteral("192k")}));
        QVERIFY(TestMedia::convert(path(QStringLiteral("song.wav")), path(QStringLiteral("歌 曲.wma")),
                                   {QStringLiteral("-c:a"), QStringLiteral("wmav2")}));
        QFile bad(path(QStringLiteral("broken.mp3")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(5000, 'x'));
    }

    void init()
    {
        m_channel = 2;
        m_quality = 2;
    }

    void convertsQueuedRowsAndRecordsOutcomes()
    {
        const QString out = path(QStringLiteral("out一"));
        QVERIFY(QDir().mkpath(out));
        m_output = out; // typed without a trailing separator

        Table table;
        table.add(path(QStringLiteral("song.mp3")), QStringLiteral("标题"));
        table.rows[0].cells[JobColumn::Album] = QStringLiteral(" 专辑 ");
        table.rows[0].cells[JobColumn::Artist] = QStringLiteral("歌手");
        table.rows[0].cells[JobColumn::Year] = QStringLiteral("1999");
        table.add(path(QStringLiteral("song.wav")), QStringLiteral("already"), JobStatus::Done);
        table.add(path(QStringLiteral("broken.mp3")));
        table.add(path(QStringLiteral("歌 曲.wma")));
        table.add(path(QStringLiteral("song.wav")));
        table.add(path(QStringLiteral("gone.wav"))); // not there any more

        ConversionRun run(environment(table, 2));
        QHash<int, QList<int>> progress;
        connect(&run, &ConversionRun::rowProgress, this, [&](int row, int percent) { progress[row] << percent; });
        const RunResult result = runToEnd(run);
        QVERIFY(!result.cancelled);
        QCOMPARE(result.queuedAtStart, 5);
        QCOMPARE(result.ordinals, (QList<int>{1, 2, 3, 4, 5}));
        // Each converted row's progress only grows and ends at 100.
        for (int row : {0, 3, 4}) {
            const QList<int> seen = progress.value(row);
            QVERIFY(!seen.isEmpty());
            QVERIFY(std::is_sorted(seen.begin(), seen.end()));
            QCOMPARE(seen.last(), 100);
        }
        // Failed rows say why in a sentence the user reads.
        QCOMPARE(table.rows[2].note, QStringLiteral("源文件无法作为音频读取"));
        QCOMPARE(table.rows[5].note, QStringLiteral("源文件不存在"));
        QCOMPARE(m_output, out + QLatin1Char('/'));

        const QString mp3Target = out + QStringLiteral("/D-Mono-FM-song.mp3");
        QCOMPARE(
            result.targets,
            (QStringList{mp3Target, out + QStringLiteral("/D-Mono-FM-broken.mp3"), out + QStringLiteral("/D-Mono-FM-歌 曲.MP3"),
                         out + QStringLiteral("/D-Mono-FM-song (2).MP3"), out + QStringLiteral("/D-Mono-FM-gone.MP3")}));
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QCOMPARE(table.rows[1].status, int(JobStatus::Done)); // skipped, untouched
        QCOMPARE(table.rows[1].cells[JobColumn::Target], QString());
        QCOMPARE(table.rows[2].status, int(JobStatus::Failed));
        QVERIFY(!table.rows[2].note.isEmpty());
        QCOMPARE(table.rows[2].cells[JobColumn::Target], QString());
        QVERIFY(!QFile::exists(out + QStringLiteral("/D-Mono-FM-broken.mp3")));
        QCOMPARE(table.rows[3].status, int(JobStatus::Done));
        QCOMPARE(table.rows[4].status, int(JobStatus::Done));

        const auto &row = table.rows[0].cells;
        QCOMPARE(row[JobColumn::Target], mp3Target);
        QCOMPARE(row[JobColumn::TargetSize], QLatin1Char(' ') + QString::number(QFileInfo(mp3Target).size()));
        const qint64 ratio = QFileInfo(mp3Target).size() * 100 / QFileInfo(path(QStringLiteral("song.mp3"))).size();
        QCOMPARE(row[JobColumn::Ratio], QStringLiteral(" %1%").arg(ratio));

        const TestMedia::Probe probe = TestMedia::probe(mp3Target);
        QCOMPARE(probe.stream.value(QStringLiteral("channels")).toInt(), 1);
        QCOMPARE(probe.stream.value(QStringLiteral("bit_rate")).toString(), QStringLiteral("64000"));
        QCOMPARE(probe.tags().value(QStringLiteral("title")).toString(), QStringLiteral("标题"));
        QCOMPARE(probe.tags().value(QStringLiteral("album")).toString(), QStringLiteral("专辑"));
        QCOMPARE(probe.tags().value(QStringLiteral("artist")).toString(), QStringLiteral("歌手"));
        QCOMPARE(probe.tags().value(QStringLiteral("date")).toString(), QStringLiteral("1999"));
        QCOMPARE(probe.tags().value(QStringLiteral("encoder")).toString(), QStringLiteral("Sveltra Version 4"));

        AudioInformation info;
        // song.wav's name differs from song.mp3's in letter case only: one file on a card.
        QVERIFY(info.ReadFile(out + QStringLiteral("/D-Mono-FM-song (2).MP3")));
        QCOMPARE(info.Title, QStringLiteral("song")); // the list's "Unknown" is no title: the file's name is
        QCOMPARE(info.Year, 0);
        // No temporary or working files left, hidden or not.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void cdTracksAreRippedOneAtATimeThenEncoded()
    {
        const QString discDir = path(QStringLiteral("disc"));
        QVERIFY(QDir().mkpath(discDir));
        TestCd::Image image;
        QVERIFY(TestCd::MakeImage(&image, discDir, QStringLiteral("album"), {{1.0, 440}, {2.0, 660}, {3.0, 880}}, false, 2, 30));
        const QString out = path(QStringLiteral("cdout/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        m_channel = 1;
        m_quality = 4;

        Table table;
        table.add(image.cuePath + QStringLiteral("/Track01.cda"), QStringLiteral("第一首"));
        table.add(image.cuePath + QStringLiteral("/Track02.cda"), QStringLiteral("A/B"));
        table.add(image.cuePath + QStringLiteral("/Track03.cda"), QStringLiteral("Third"));
        table.add(QStringLiteral("/dev/nodrive/Track01.cda"), QStringLiteral("lost"));
        for (auto &row : table.rows)
            row.cells[JobColumn::Album] = QStringLiteral("碟片专辑");
        auto env = environment(table, 2);
        env.playlists = true;
        const QString tempDir = path(QStringLiteral("riptemp"));
        QVERIFY(QDir().mkpath(tempDir));
        env.tempBasePath = tempDir + QStringLiteral("/~sveltratmp");
        env.cdDriveFor = [&image](const QString &folder) { return folder == image.cuePath ? image.cuePath : QString(); };
        QVERIFY(TestMedia::makePicture(path(QStringLiteral("disc.png")), 800, 800));
        QFile discCover(path(QStringLiteral("disc.png")));
        QVERIFY(discCover.open(QIODevice::ReadOnly));
        const QByteArray discPicture = discCover.readAll();
        env.cdTrackFacts = [&](const QString &drive, int track) {
            CdTrackFacts tag;
            if (drive != image.cuePath)
                return tag;
            tag.Track = QStringLiteral("%1/3").arg(track);
            tag.Year = QStringLiteral("1987");
            tag.Genre = QStringLiteral("Jazz");
            tag.AlbumArtist = QStringLiteral("碟片歌手");
            tag.Cover = discPicture;
            return tag;
        };
        QList<MonitorPhase> states;
        ConversionRun run(std::move(env));
        connect(&run, &ConversionRun::monitorStateChanged, this, [&states](MonitorPhase state) { states << state; });
        const RunResult result = runToEnd(run);
        QVERIFY(!result.cancelled);
        QVERIFY(states.contains(MonitorPhase::Ripping));
        QCOMPARE(states.last(), MonitorPhase::Idle);

        const QStringList names = {QStringLiteral("D-PH-01-第一首.MP3"), QStringLiteral("D-PH-02-A／B.MP3"),
                                   QStringLiteral("D-PH-03-Third.MP3")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(table.rows[i].status, int(JobStatus::Done));
            QCOMPARE(table.rows[i].cells[JobColumn::Target], out + names[i]);
            const TestMedia::Probe probe = TestMedia::probe(out + names[i]);
            const double seconds = probe.format.value(QStringLiteral("duration")).toString().toDouble();
            const double expected = image.trackSectors(i + 1) / 75.0;
            QVERIFY2(qAbs(seconds - expected) < 0.3, // encoder delay and padding at 8 kHz
                     qPrintable(QStringLiteral("%1 vs %2").arg(seconds).arg(expected)));
        }
        QCOMPARE(TestMedia::probe(out + names[1]).tags().value(QStringLiteral("title")).toString(), QStringLiteral("A/B"));
        // What the disc's lookup knows is in each track's tag, the disc's cover made small.
        for (int i = 0; i < 3; ++i) {
            const TestMedia::Id3 id3 = TestMedia::readId3(out + names[i]);
            QCOMPARE(id3.frames.value(QStringLiteral("TRCK")), QStringLiteral("%1/3").arg(i + 1));
            QCOMPARE(id3.frames.value(QStringLiteral("TYER")), QStringLiteral("1987"));
            QCOMPARE(id3.frames.value(QStringLiteral("TCON")), QStringLiteral("Jazz"));
            QCOMPARE(id3.frames.value(QStringLiteral("TPE2")), QStringLiteral("碟片歌手"));
            QCOMPARE(id3.pictures.size(), 1);
            QCOMPARE(TestMedia::pictureFacts(id3.pictures[0].data).height, 500);
            QCOMPARE(id3.v1.size(), 128);
            QCOMPARE(int(id3.v1.at(126)), i + 1);
            QCOMPARE(int(id3.v1.at(127)), 8); // Jazz
        }
        QCOMPARE(table.rows[3].status, int(JobStatus::Failed));
        QCOMPARE(QDir(tempDir).entryList(QDir::Files | QDir::Hidden), QStringList()); // no WAV left behind
        // The disc's list, named after its album, in track order with the disc's names.
        const auto discList = ReadOwnPlaylist(out + QStringLiteral("碟片专辑.m3u8"), RunListKey());
        QVERIFY(discList && discList->size() == 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(discList->at(i).file, names[i]);
            QCOMPARE(discList->at(i).title, table.rows[i].cells[JobColumn::Title]);
            QVERIFY(discList->at(i).seconds > 0);
        }
        QCOMPARE(run.playlists().written, 2); // and the list of everything
        QVERIFY(run.playlists().problems.isEmpty());
    }

    void cancelDuringARipStopsItAtOnce()
    {
        const QString discDir = path(QStringLiteral("longdisc"));
        QVERIFY(QDir().mkpath(discDir));
        TestCd::Image image;
        QVERIFY(TestCd::MakeImage(&image, discDir, QStringLiteral("long"), {{600.0, 330}}, false));
        const QString out = path(QStringLiteral("ripcancel/"));
        const QString tempDir = path(QStringLiteral("ripcanceltemp"));
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(tempDir));
        m_output = out;

        Table table;
        table.add(image.cuePath + QStringLiteral("/Track01.cda"), QStringLiteral("Long"));
        auto env = environment(table, 2);
        env.tempBasePath = tempDir + QStringLiteral("/~sveltratmp");
        env.cdDriveFor = [&image](const QString &folder) { return folder == image.cuePath ? image.cuePath : QString(); };
        ConversionRun run(std::move(env));
        QElapsedTimer clock;
        connect(&run, &ConversionRun::monitorStateChanged, this, [&](MonitorPhase state) {
            if (state == MonitorPhase::Ripping) {
                clock.start();
                run.cancel();
            }
        });
        const RunResult result = runToEnd(run);
        QVERIFY(result.cancelled);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(table.rows[0].status, int(JobStatus::Queued));
        QCOMPARE(QDir(tempDir).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
        QFile::remove(image.binPath);
    }

    // A stop at any moment (as the first rip starts, during it, as its encoder starts, during the
    // encoder) ends the run soon, whatever waits behind: later CD tracks that cannot rip while the
    // drive is busy, files. Nothing is marked failed and nothing temporary is left.
    void cancelAtAnyMomentEndsTheRun_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<bool>("withFiles");
        QTest::addColumn<int>("state"); // the monitor state that starts the count: 2 rip, 1 encoder
        QTest::addColumn<int>("delayMs");
        const struct
        {
            const char *name;
            int state;
            int delay;
        } moments[] = {{"as the rip starts", 2, -1},
                       {"during the rip", 2, 30},
                       {"as the encoder starts", 1, -1},
                       {"during the encoder", 1, 150}};
        for (int tracks : {1, 2, 5})
            for (bool withFiles : {false, true})
                for (const auto &m : moments)
                    QTest::addRow("%d tracks%s, %s", tracks, withFiles ? " and files" : "", m.name)
                        << tracks << withFiles << m.state << m.delay;
    }

    void cancelAtAnyMomentEndsTheRun()
    {
        QFETCH(int, tracks);
        QFETCH(bool, withFiles);
        QFETCH(int, state);
        QFETCH(int, delayMs);
        static TestCd::Image image;
        const QString discDir = path(QStringLiteral("fivetracks"));
        if (image.cuePath.isEmpty()) {
            QVERIFY(QDir().mkpath(discDir));
            QVERIFY(TestCd::MakeImage(&image, discDir, QStringLiteral("五首"),
                                      {{120.0, 330}, {3.0, 440}, {2.0, 550}, {2.0, 660}, {2.0, 770}}, false));
        }
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString out = path(QStringLiteral("anymoment-") + tag + QLatin1Char('/'));
        const QString tempDir = path(QStringLiteral("anymomenttemp-") + tag);
        QVERIFY(QDir().mkpath(out) && QDir().mkpath(tempDir));
        m_output = out;

        Table table;
        for (int t = 1; t <= tracks; ++t) {
            table.add(image.cuePath + QStringLiteral("/Track%1.cda").arg(t, 2, 10, QLatin1Char('0')),
                      QStringLiteral("曲%1").arg(t));
            if (withFiles)
                table.add(path(t % 2 ? QStringLiteral("song.wav") : QStringLiteral("歌 曲.wma")),
                          QStringLiteral("文件%1").arg(t));
        }
        auto env = environment(table, 2);
        env.tempBasePath = tempDir + QStringLiteral("/~sveltratmp");
        env.cdDriveFor = [](const QString &folder) { return folder == image.cuePath ? image.cuePath : QString(); };
        ConversionRun run(std::move(env));
        QElapsedTimer clock;
        bool ripped = false;
        const auto stop = [&] {
            clock.start();
            run.cancel();
        };
        // Counted from an event of the first track, so the stop lands at the same point on any machine.
        connect(&run, &ConversionRun::monitorStateChanged, this, [&](MonitorPhase now) {
            ripped = ripped || now == MonitorPhase::Ripping;
            if (int(now) != state || !ripped || clock.isValid())
                return;
            if (delayMs < 0)
                stop();
            else
                QTimer::singleShot(delayMs, &run, stop);
        });
        const RunResult result = runToEnd(run);
        QVERIFY2(clock.isValid() && clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(result.cancelled);
        QStringList written;
        for (const auto &row : table.rows) {
            QVERIFY2(row.status == JobStatus::Queued || row.status == JobStatus::Done, qPrintable(row.note));
            if (row.status == JobStatus::Done)
                written << QFileInfo(row.cells[JobColumn::Target]).fileName();
        }
        QCOMPARE(table.rows.first().status, int(JobStatus::Queued)); // the long first track was stopped
        QCOMPARE(QDir(tempDir).entryList(QDir::Files | QDir::Hidden), QStringList());
        QStringList present = QDir(out).entryList(QDir::Files | QDir::Hidden);
        present.sort();
        written.sort();
        QVERIFY2(present == written,
                 qPrintable(present.join(QLatin1Char(',')) + QStringLiteral(" / ") + written.join(QLatin1Char(','))));
    }

    // A target that is the source of a row (its own, or another's) is never written: the row's
    // output takes the next free name and the source stays as it was.
    void aTargetNeverOverwritesASource()
    {
        const QString out = path(QStringLiteral("guard/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        // x.wav's target is a file that the list converts too.
        const QString victim = out + QStringLiteral("D-Mono-FM-x.MP3");
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), victim));
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), path(QStringLiteral("x.wav"))));
        QFile before(victim);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray original = before.readAll();

        Table table;
        table.add(path(QStringLiteral("x.wav")));
        table.add(victim);
        ConversionRun run(environment(table, 1));
        runToEnd(run);
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QCOMPARE(table.rows[0].cells[JobColumn::Target], out + QStringLiteral("D-Mono-FM-x (2).MP3"));
        QCOMPARE(table.rows[1].status, int(JobStatus::Done));
        QFile after(victim);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QVERIFY(after.readAll() == original);
    }

    // A library dropped as one folder comes out as the same tree, every name one a card takes,
    // no output lost: two discs with the same track names, a WAV and a WMA of one name, a file
    // the user put at a target and an earlier output of another source all keep their place.
    void targetsKeepTheTreeAndLoseNothing()
    {
        const QString lib = path(QStringLiteral("lib/"));
        const QString wav = path(QStringLiteral("song.wav"));
        const QStringList sources{lib + QStringLiteral("Album/CD1/01 Intro.wav"),
                                  lib + QStringLiteral("Album/CD2/01 Intro.wav"),
                                  lib + QStringLiteral("B?\"x\"/song.wav"),
                                  lib + QStringLiteral("B?\"x\"/song.wma"),
                                  lib + QStringLiteral("Live. /What? Yes: <No>|.mp3"),
                                  lib + QStringLiteral("CON/t.flac")};
        for (const QString &source : sources)
            QVERIFY(QDir().mkpath(QFileInfo(source).path()));
        QVERIFY(QFile::copy(wav, sources[0]) && QFile::copy(wav, sources[1]) && QFile::copy(wav, sources[2]));
        QVERIFY(QFile::copy(path(QStringLiteral("歌 曲.wma")), sources[3]));
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), sources[4]));
        QVERIFY(TestMedia::convert(wav, sources[5]));

        const QString out = path(QStringLiteral("tree/"));
        m_output = out;
        // The user's own file, and the output of a source that is not in this run.
        QVERIFY(QDir().mkpath(out + QStringLiteral("Album/CD1")));
        const QString mine = out + QStringLiteral("Album/CD1/D-Mono-FM-01 Intro.MP3");
        QFile user(mine);
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write("mine") == 4);
        user.close();
        const QString folderB = out + QStringLiteral("B？＂x＂/");
        QVERIFY(QDir().mkpath(folderB));
        const QString other = folderB + QStringLiteral("D-Mono-FM-song.MP3");
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), other));
        const QString otherStamp
            = SourceStamp{path(QStringLiteral("elsewhere.wav")), 1, 2, QStringLiteral("D-Mono-FM- -dm -br 64000")}.text();
        QVERIFY(WriteSourceStamp(other, otherStamp));

        Table table;
        for (const QString &source : sources) {
            table.add(source);
            table.rows.last().baseFolder = QDir::cleanPath(lib);
        }
        table.add(wav); // on its own: flat, as ever
        ConversionRun run(environment(table, 2));
        const RunResult result = runToEnd(run);
        const QStringList expected{out + QStringLiteral("Album/CD1/D-Mono-FM-01 Intro (2).MP3"),
                                   out + QStringLiteral("Album/CD2/D-Mono-FM-01 Intro.MP3"),
                                   folderB + QStringLiteral("D-Mono-FM-song (2).MP3"),
                                   folderB + QStringLiteral("D-Mono-FM-song (3).MP3"),
                                   out + QStringLiteral("Live/D-Mono-FM-What？ Yes： ＜No＞｜.mp3"),
                                   out + QStringLiteral("CON_/D-Mono-FM-t.MP3"),
                                   out + QStringLiteral("D-Mono-FM-song.MP3")};
        QCOMPARE(result.targets, expected);
        for (int row = 0; row < table.rowCount(); ++row) {
            QCOMPARE(table.rows[row].status, int(JobStatus::Done));
            QCOMPARE(table.rows[row].cells[JobColumn::Target], expected[row]);
            QCOMPARE(table.rows[row].cells[JobColumn::TargetSize],
                     QLatin1Char(' ') + QString::number(QFileInfo(expected[row]).size()));
            const auto stamp = SourceStamp::parse(ReadSourceStamp(expected[row]));
            QVERIFY(stamp);
            // The mark knows its source by a key: no folder or user name travels with the file.
            QCOMPARE(stamp->source,
                     SourcePathKey(table.rows[row].cells[JobColumn::SourcePath] + table.rows[row].cells[JobColumn::Source]));
            QVERIFY(!ReadSourceStamp(expected[row]).contains(QLatin1Char('/')));
        }
        QVERIFY(user.open(QIODevice::ReadOnly));
        QCOMPARE(user.readAll(), QByteArray("mine"));
        QCOMPARE(ReadSourceStamp(other), otherStamp);
    }

    // A rerun converts only what changed: an unchanged source's earlier output is taken as it
    // is, a touched source is converted again over its own output, and another profile never
    // writes over the first one's files.
    // Done means whole: an album whose last row fails ends with that row failed and the run
    // whole; a damaged source says so with both lengths; a file the user saves at a target during
    // the run stays as it is; an output whose tag cannot be written never takes its name.
    void doneMeansWhole()
    {
        m_output = path(QStringLiteral("whole/"));
        QVERIFY(QDir().mkpath(m_output));
        const QString album = path(QStringLiteral("album"));
        QVERIFY(QDir().mkpath(album));
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), album + QStringLiteral("/one.wav")));
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), album + QStringLiteral("/two.wav")));
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("long.wav")), 12.0, 44100, 2, 330));
        QVERIFY(TestMedia::convert(path(QStringLiteral("long.wav")), album + QStringLiteral("/cut.flac")));
        QFile cut(album + QStringLiteral("/cut.flac"));
        QVERIFY(cut.resize(cut.size() * 2 / 5)); // its header still says 12 s
        Table table;
        // The album's last row to end is the one that fails.
        for (const QString &name : {QStringLiteral("one.wav"), QStringLiteral("cut.flac"), QStringLiteral("two.wav")}) {
            table.add(album + QLatin1Char('/') + name);
            table.rows.last().cells[JobColumn::Album] = QStringLiteral("专辑");
        }
        QVERIFY(QFile::remove(album + QStringLiteral("/two.wav"))); // moved away after it was added
        // A working file left by a run that was killed an hour ago goes; a fresh one may be another's.
        QFile stale(m_output + QStringLiteral(".sveltra-0badc0de.part"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("half");
        QVERIFY(stale.flush());
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
        stale.close();
        // A file the user saves at the first row's target once the run has started.
        const QString userFile = m_output + QStringLiteral("D-Mono-FM-one.MP3");
        ConversionRun run(environment(table, 1));
        const RunResult result = runToEnd(run, [&](int ordinal) {
            if (ordinal != 1)
                return;
            QFile mine(userFile);
            QVERIFY(mine.open(QIODevice::WriteOnly));
            mine.write("mine");
        });
        QVERIFY(!result.cancelled);
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QCOMPARE(table.rows[0].cells[JobColumn::Target], m_output + QStringLiteral("D-Mono-FM-one (2).MP3"));
        QFile mine(userFile);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
        QCOMPARE(table.rows[2].status, int(JobStatus::Failed));
        QCOMPARE(table.rows[2].note, QStringLiteral("源文件不存在"));
        QCOMPARE(table.rows[1].status, int(JobStatus::Damaged));
        QVERIFY2(table.rows[1].note.startsWith(QStringLiteral("源文件已损坏：只转换了 0:0"))
                     && table.rows[1].note.endsWith(QStringLiteral("（应为 0:12）")),
                 qPrintable(table.rows[1].note));
        QVERIFY(QFileInfo::exists(table.rows[1].cells[JobColumn::Target]));
        QCOMPARE(QDir(m_output).entryList(QDir::Files | QDir::Hidden).size(), 3); // no working file left

        // Room for the audio but not for its tag: the output fails with the reason and never
        // appears, whole or not.
        OutputToFinish output;
        output.target = m_output + QStringLiteral("full.MP3");
        output.work = WorkPathFor(output.target);
        QVERIFY(QFileInfo(output.work).fileName().startsWith(QLatin1String(".sveltra-")));
        QVERIFY(QFile::copy(table.rows[0].cells[JobColumn::Target], output.work));
        output.tag.Title = QStringLiteral("标题");
        output.tag.SourceStamp = QStringLiteral("stamp");
        output.tag.UserTexts << qMakePair(QStringLiteral("BIG"), QString(200000, QLatin1Char('x')));
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit small = before;
        small.rlim_cur = static_cast<rlim_t>(QFileInfo(output.work).size() + 4096);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const FinishedOutput full = FinishOutput(output);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(int(full.outcome), int(RowOutcome::Failed));
        QVERIFY2(!full.note.isEmpty(), qPrintable(full.detail));
        QVERIFY(!QFileInfo::exists(output.target));
        QVERIFY(!QFileInfo::exists(output.work));
    }

    void rerunsDoOnlyWhatChanged()
    {
        const QString lib = path(QStringLiteral("rerunlib/"));
        QVERIFY(QDir().mkpath(lib + QStringLiteral("A")));
        const QStringList sources{lib + QStringLiteral("A/a.wav"), lib + QStringLiteral("A/b.wav"),
                                  lib + QStringLiteral("c.mp3")};
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), sources[0]));
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), sources[1]));
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), sources[2]));
        m_output = path(QStringLiteral("rerun/"));
        m_channel = 1;
        Table table;
        for (const QString &source : sources) {
            table.add(source);
            table.rows.last().baseFolder = lib;
        }
        bool level = false;
        const auto rerun = [&] {
            for (auto &row : table.rows) {
                row.status = JobStatus::Queued;
                row.note.clear();
            }
            ConversionRun::Environment env = environment(table, 2);
            env.level = level;
            ConversionRun run(std::move(env));
            return runToEnd(run);
        };
        QCOMPARE(rerun().targets.size(), 3);
        QStringList targets;
        QList<QDateTime> written;
        for (const auto &row : table.rows) {
            QCOMPARE(row.status, int(JobStatus::Done));
            targets << row.cells[JobColumn::Target];
            written << QFileInfo(row.cells[JobColumn::Target]).lastModified();
        }
        QCOMPARE(targets[0], m_output + QStringLiteral("A/D-FM-a.MP3"));

        // Unchanged: done at once, the files as they were.
        table.rows[0].cells[JobColumn::Target].clear();
        QCOMPARE(rerun().targets, targets);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(table.rows[row].status, int(JobStatus::Done));
            QCOMPARE(table.rows[row].note, QStringLiteral("已是最新，未重新压缩"));
            QCOMPARE(table.rows[row].cells[JobColumn::Target], targets[row]);
            QCOMPARE(QFileInfo(targets[row]).lastModified(), written[row]);
        }

        // b.wav touched: converted again over its own output, the others kept.
        QFile touched(sources[1]);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        touched.close();
        rerun();
        for (int row = 0; row < 3; ++row)
            QCOMPARE(table.rows[row].cells[JobColumn::Target], targets[row]);
        QCOMPARE(table.rows[0].note, QStringLiteral("已是最新，未重新压缩"));
        QCOMPARE(table.rows[1].note, QString());
        QVERIFY(QFileInfo(targets[1]).lastModified() != written[1]);
        QCOMPARE(QFileInfo(targets[0]).lastModified(), written[0]);
        QCOMPARE(QDir(m_output + QStringLiteral("A")).entryList(QDir::Files).size(), 2);

        // Levelling turned on: the unchanged sources are converted again over their own outputs
        // (levelling is no other profile), and are up to date on the next run.
        level = true;
        QCOMPARE(rerun().targets, targets);
        QCOMPARE(table.rows[0].note.contains(QStringLiteral("已是最新")), false);
        QVERIFY(QFileInfo(targets[0]).lastModified() != written[0]);
        written[0] = QFileInfo(targets[0]).lastModified();
        rerun();
        QCOMPARE(table.rows[0].note, QStringLiteral("已是最新，未重新压缩"));
        level = false;

        // "重新压缩" on a row: converted again over its own output although nothing changed.
        written[2] = QFileInfo(targets[2]).lastModified();
        table.rows[2].reconvert = true;
        level = true;
        QStringList started = rerun().targets;
        started.sort();
        QStringList expected = targets;
        expected.sort();
        QCOMPARE(started, expected);
        QCOMPARE(table.rows[1].note, QStringLiteral("已是最新，未重新压缩"));
        QVERIFY(QFileInfo(targets[2]).lastModified() != written[2]);
        table.rows[2].reconvert = false;
        level = false;

        // The same names from another profile (mono: channel 3 names no "Mono-") are new files.
        m_channel = 3;
        const RunResult mono = rerun();
        QCOMPARE(mono.targets[0], m_output + QStringLiteral("A/D-FM-a (2).MP3"));
        QCOMPARE(table.rows[0].note, QString());
        QCOMPARE(QFileInfo(targets[0]).lastModified(), written[0]);
    }

    // A run of rows added from a folder leaves a list in each album folder it wrote into, made
    // from every output of a run there (an earlier version's mark too, a sync's never), one entry
    // per source, and the list of everything where the output folder is one of its own. A
    // person's own list stays as it is and a list that cannot be written is said; a rerun that
    // adds a track rewrites its album's list only.
    void runsLeaveTheirAlbumsLists()
    {
        const QString lib = path(QStringLiteral("listlib/"));
        const QStringList sources{lib + QStringLiteral("专辑 一/02 b.wav"), lib + QStringLiteral("专辑 一/01 a.wav"),
                                  lib + QStringLiteral("Two/x.wav"), lib + QStringLiteral("Mine/m.wav"),
                                  lib + QStringLiteral("Blocked/k.wav")};
        for (const QString &source : sources)
            QVERIFY(QDir().mkpath(QFileInfo(source).path()) && QFile::copy(path(QStringLiteral("song.wav")), source));
        m_output = path(QStringLiteral("lists/"));
        const QString album = m_output + QStringLiteral("专辑 一/");
        QVERIFY(QDir().mkpath(album) && QDir().mkpath(m_output + QStringLiteral("Mine")));
        QVERIFY(QDir().mkpath(m_output + QStringLiteral("Blocked/Blocked.m3u8"))); // in the way of the list
        QFile mine(m_output + QStringLiteral("Mine/Mine.m3u8"));
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("#EXTM3U\nmine.mp3\n") == 17);
        mine.close();
        // An output of an earlier version (its mark holds the source's path) and a sync's output.
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), album + QStringLiteral("D-Mono-FM-old.mp3")));
        QVERIFY(
            WriteSourceStamp(album + QStringLiteral("D-Mono-FM-old.mp3"), QStringLiteral("1\t5\t6\tD-Mono-FM- -dm\t/old/a.wav")));
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), album + QStringLiteral("D-Mono-FM-synced.mp3")));
        SourceStamp synced{path(QStringLiteral("s.wav")), 1, 2, QStringLiteral("D-Mono-FM- -dm")};
        synced.libraryKey = QStringLiteral("#0123");
        QVERIFY(WriteSourceStamp(album + QStringLiteral("D-Mono-FM-synced.mp3"), synced.text()));

        Table table;
        for (const QString &source : sources) {
            table.add(source);
            table.rows.last().baseFolder = QDir::cleanPath(lib);
        }
        table.add(path(QStringLiteral("song.wav"))); // on its own, in the output folder
        const auto run = [&](PlaylistUpdate *lists) {
            ConversionRun::Environment env = environment(table, 2);
            env.playlists = true;
            ConversionRun conversion(std::move(env));
            runToEnd(conversion);
            *lists = conversion.playlists();
        };
        const auto listed = [](const QString &list) {
            QStringList files;
            for (const PlaylistEntry &entry : ReadOwnPlaylist(list, RunListKey()).value_or(QList<PlaylistEntry>{}))
                files << entry.file;
            return files;
        };
        PlaylistUpdate lists;
        run(&lists);
        const QString albumList = album + QStringLiteral("专辑 一.m3u8");
        QCOMPARE(listed(albumList),
                 (QStringList{QStringLiteral("D-Mono-FM-01 a.MP3"), QStringLiteral("D-Mono-FM-02 b.MP3"),
                              QStringLiteral("D-Mono-FM-old.mp3")}));
        QVERIFY(ReadAll(albumList).contains("#EXTINF:4,01 a\nD-Mono-FM-01 a.MP3\n"));
        QCOMPARE(listed(m_output + QStringLiteral("Two/Two.m3u8")), QStringList{QStringLiteral("D-Mono-FM-x.MP3")});
        QCOMPARE(ReadAll(mine.fileName()), QByteArray("#EXTM3U\nmine.mp3\n"));
        QVERIFY(QFileInfo(m_output + QStringLiteral("Blocked/Blocked.m3u8")).isDir());
        QCOMPARE(lists.written, 3);
        QCOMPARE(lists.problems,
                 (QStringList{QStringLiteral("无法写入播放列表：Blocked/Blocked.m3u8"),
                              QStringLiteral("没有改动不是本程序写的播放列表：Mine/Mine.m3u8")}));
        // The list of everything: the folder's own outputs, then the albums by folder name.
        const QStringList whole = listed(m_output + WholePlayerListName());
        QCOMPARE(whole,
                 (QStringList{QStringLiteral("D-Mono-FM-song.MP3"), QStringLiteral("Two/D-Mono-FM-x.MP3"),
                              QStringLiteral("专辑 一/D-Mono-FM-01 a.MP3"), QStringLiteral("专辑 一/D-Mono-FM-02 b.MP3"),
                              QStringLiteral("专辑 一/D-Mono-FM-old.mp3")}));
        for (const QString &file : whole)
            QVERIFY2(QFileInfo::exists(m_output + file), qPrintable(file));

        // A track added to the album: its list is written again, the other lists are not.
        const QByteArray two = ReadAll(m_output + QStringLiteral("Two/Two.m3u8"));
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), lib + QStringLiteral("专辑 一/03 c.wav")));
        for (auto &row : table.rows)
            row.status = JobStatus::Done;
        table.add(lib + QStringLiteral("专辑 一/03 c.wav"));
        table.rows.last().baseFolder = QDir::cleanPath(lib);
        run(&lists);
        QCOMPARE(listed(albumList).size(), 4);
        QCOMPARE(ReadAll(m_output + QStringLiteral("Two/Two.m3u8")), two);
        QCOMPARE(lists.written, 2); // the album's and everything's
        QCOMPARE(listed(m_output + WholePlayerListName()).size(), 6);

        // Another profile's outputs beside them: each source once, in the run's profile.
        m_channel = 1;
        for (auto &row : table.rows)
            row.status = row.cells[JobColumn::SourcePath].startsWith(lib + QStringLiteral("专辑")) ? JobStatus::Queued
                                                                                                   : JobStatus::Done;
        run(&lists);
        QCOMPARE(listed(albumList),
                 (QStringList{QStringLiteral("D-FM-01 a.MP3"), QStringLiteral("D-FM-02 b.MP3"), QStringLiteral("D-FM-03 c.MP3"),
                              QStringLiteral("D-Mono-FM-old.mp3")}));

        // Where the list of everything goes, and the names of a disc's lists.
        QVERIFY(WholeListWanted(m_output));
        QVERIFY(!WholeListWanted(QString()));
        QVERIFY(!WholeListWanted(QDir::homePath() + QLatin1Char('/')));
        QVERIFY(!WholeListWanted(QDir::rootPath()));
        QVERIFY(!WholeListWanted(QFileInfo(QDir::homePath()).path()));
        QVERIFY(!WholeListWanted(QStandardPaths::writableLocation(QStandardPaths::MusicLocation)));
        QVERIFY(WholeListWanted(QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + QStringLiteral("/手机")));
        QCOMPARE(DiscListName(QStringLiteral(" A/B: Live ")), QStringLiteral("A／B： Live.m3u8"));
        QCOMPARE(DiscListName(QString()), QStringLiteral("音乐光盘.m3u8"));
        QCOMPARE(DiscListName(QStringLiteral("CON")), QStringLiteral("CON_.m3u8"));
        const int cut = int(DiscListName(QString(200, QChar(0x4E00)), 255).toUtf8().size());
        QVERIFY2(cut > 250 && cut <= 255, qPrintable(QString::number(cut)));
    }

    // Before a run: nothing queued, or an output folder that cannot be made or written, is one
    // message; a missing folder is made, with the folders above it.
    void preflightBeforeTheRun()
    {
        Table table;
        QCOMPARE(RunPreflight(table, path(QStringLiteral("pre"))), QStringLiteral("没有等待压缩的文件"));
        table.add(path(QStringLiteral("song.wav")), QStringLiteral("x"), JobStatus::Failed);
        table.add(path(QStringLiteral("song.mp3")), QStringLiteral("y"), JobStatus::Done);
        QCOMPARE(RunPreflight(table, path(QStringLiteral("pre"))), QStringLiteral("没有等待压缩的文件"));
        table.rows[1].status = JobStatus::Queued;
        const QString made = path(QStringLiteral("pre/made/here/"));
        QCOMPARE(RunPreflight(table, made), QString());
        QVERIFY(QFileInfo(made).isDir());
        QVERIFY(QDir(made).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
        const QString underFile = path(QStringLiteral("song.wav/out"));
        QCOMPARE(RunPreflight(table, underFile), QStringLiteral("无法创建输出文件夹：") + underFile);
        // A folder no one may write into, whoever runs the test.
        QCOMPARE(RunPreflight(table, QStringLiteral("/proc")), QStringLiteral("无法写入输出文件夹：/proc"));
    }

    // An encoder that keeps the source's frames says "copied": the row is done like any other,
    // with a note saying why the audio was left as it was.
    void keptFramesAreDoneWithANote()
    {
        const QString encoder = path(QStringLiteral("keeper.sh"));
        QFile script(encoder);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho 'progress 0'\necho 'copied 48000'\ncp \"$1\" \"$2\"\necho 'progress 100'\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        const QString out = path(QStringLiteral("kept/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        Table table;
        table.add(path(QStringLiteral("song.mp3")), QStringLiteral("小"));
        ConversionRun run(environment(table, 1, encoder));
        runToEnd(run);
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QCOMPARE(table.rows[0].note, QStringLiteral("源文件的比特率不高于所选音质，音频已原样保留，未重新编码"));
        QCOMPARE(TestMedia::probe(table.rows[0].cells[JobColumn::Target]).tags().value(QStringLiteral("title")).toString(),
                 QStringLiteral("小"));
    }

    // Every output gets its source's whole tag and small front cover, whether the encoder kept the
    // frames of a small enough MP3 or encoded the audio; only the cover makes it grow.
    void everyTagGoesWithTheAudioKeptOrEncoded()
    {
        const QString lean = path(QStringLiteral("lean.mp3")), wave = path(QStringLiteral("tagged.wav"));
        QVERIFY(TestMedia::convert(path(QStringLiteral("song.wav")), lean,
                                   {QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-b:a"), QStringLiteral("48k")}));
        const qint64 leanAudio = QFileInfo(lean).size();
        QVERIFY(QFile::copy(path(QStringLiteral("song.wav")), wave));
        QVERIFY(TestMedia::makePicture(path(QStringLiteral("front.png")), 1500, 1500));
        for (const QString &source : {lean, wave})
            QVERIFY(TestMedia::tagSource(source, path(QStringLiteral("front.png"))));
        const QString out = path(QStringLiteral("tagged/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        Table table;
        table.add(lean, QStringLiteral("瘦"));
        table.add(wave, QStringLiteral("波"));
        ConversionRun run(environment(table, 2));
        runToEnd(run);
        QCOMPARE(table.rows[0].note, QStringLiteral("源文件的比特率不高于所选音质，音频已原样保留，未重新编码"));
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(table.rows[row].status, int(JobStatus::Done));
            const QString target = table.rows[row].cells[JobColumn::Target];
            const TestMedia::Id3 id3 = TestMedia::readId3(target);
            QCOMPARE(id3.version, QStringLiteral("2.3.0"));
            QCOMPARE(id3.frames.value(QStringLiteral("TIT2")), table.rows[row].cells[JobColumn::Title]);
            QCOMPARE(id3.frames.value(QStringLiteral("TPE1")), QString::fromUtf8(TestMedia::Tagged::Artist));
            QCOMPARE(id3.frames.value(QStringLiteral("TRCK")), QStringLiteral("3/12"));
            QCOMPARE(id3.frames.value(QStringLiteral("TPOS")), QStringLiteral("1/2"));
            QCOMPARE(id3.frames.value(QStringLiteral("TSSE")), QStringLiteral("Sveltra Version 4"));
            // ReplayGain is the output's as measured, never the source's "-6.50 dB".
            QVERIFY(id3.frames.value(QStringLiteral("TXXX:REPLAYGAIN_TRACK_GAIN")).endsWith(QLatin1String(" dB")));
            QVERIFY(id3.frames.value(QStringLiteral("TXXX:REPLAYGAIN_TRACK_GAIN")) != QLatin1String("-6.50 dB"));
            QVERIFY(!id3.frames.contains(QStringLiteral("TXXX:REPLAYGAIN_ALBUM_GAIN")));
            QCOMPARE(id3.pictures.size(), 1);
            QCOMPARE(TestMedia::pictureFacts(id3.pictures[0].data).width, 500);
            QCOMPARE(id3.v1.size(), 128);
            QCOMPARE(int(id3.v1.at(126)), 3);
            if (row == 0)
                QVERIFY2(QFileInfo(target).size() <= leanAudio + id3.pictures[0].data.size() + 2048,
                         qPrintable(QStringLiteral("%1 for %2 of audio").arg(QFileInfo(target).size()).arg(leanAudio)));
        }
    }

    // Sources from -30 to -9 LUFS, one peaking at full scale, and an album of three in a folder of
    // its own: without levelling their tags tell what ffmpeg's meter reads on the outputs, the
    // album's tracks also the album's gain; with it every output comes to -16 LUFS unless its
    // peak holds it lower, no true peak passes -1 dBTP, and the album keeps its steps.
    void loudnessIsTaggedAndLevelled()
    {
        const QString base = path(QStringLiteral("noise.wav"));
        QVERIFY(TestMedia::run(QStringLiteral("sox"),
                               {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                                QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), base, QStringLiteral("synth"),
                                QStringLiteral("6"), QStringLiteral("pinknoise"), QStringLiteral("tremolo"), QStringLiteral("2"),
                                QStringLiteral("60"), QStringLiteral("norm"), QStringLiteral("-15")}));
        const double baseLufs = TestMedia::ebur128(base).lufs;
        QVERIFY(std::isfinite(baseLufs));
        QVERIFY(QDir().mkpath(path(QStringLiteral("levels/album"))));
        struct Source
        {
            QString name;
            double lufs; // NaN: peak at full scale
            bool album;
        };
        const QList<Source> sources{
            {QStringLiteral("levels/q30.wav"), -30, false},     {QStringLiteral("levels/q23.wav"), -23, false},
            {QStringLiteral("levels/q14.wav"), -14, false},     {QStringLiteral("levels/q9.wav"), -9, false},
            {QStringLiteral("levels/full.wav"), NAN, false},    {QStringLiteral("levels/album/a1.wav"), -14, true},
            {QStringLiteral("levels/album/a2.wav"), -17, true}, {QStringLiteral("levels/album/a3.wav"), -30, true}};
        Table table;
        for (const Source &s : sources) {
            const QStringList effect = std::isnan(s.lufs)
                ? QStringList{QStringLiteral("norm"), QStringLiteral("0")}
                : QStringList{QStringLiteral("vol"), QStringLiteral("%1dB").arg(s.lufs - baseLufs)};
            QVERIFY(TestMedia::run(QStringLiteral("sox"), QStringList{QStringLiteral("-G"), base, path(s.name)} + effect));
            table.add(path(s.name), GetFileName(s.name));
            if (s.album)
                table.rows.last().cells[JobColumn::Album] = QStringLiteral("同一张专辑");
        }
        m_channel = 1; // stereo at 96 kbit/s
        m_quality = 1;
        QList<double> inputs; // what the plain outputs measure
        for (const bool level : {false, true}) {
            const QString out = path(level ? QStringLiteral("levelled/") : QStringLiteral("plain/"));
            QVERIFY(QDir().mkpath(out));
            m_output = out;
            for (auto &row : table.rows)
                row.status = JobStatus::Queued;
            ConversionRun::Environment env = environment(table, 2);
            env.level = level;
            ConversionRun run(env);
            runToEnd(run);
            QList<double> album;
            for (int row = 0; row < sources.size(); ++row) {
                QCOMPARE(table.rows[row].status, int(JobStatus::Done));
                const QString target = table.rows[row].cells[JobColumn::Target];
                const TestMedia::R128 measured = TestMedia::ebur128(target);
                const TestMedia::Id3 id3 = TestMedia::readId3(target);
                const QString gainText = id3.frames.value(QStringLiteral("TXXX:REPLAYGAIN_TRACK_GAIN"));
                const double trackGain = gainText.section(QLatin1Char(' '), 0, 0).toDouble();
                const QString context = QStringLiteral("%1 %2: %3 LUFS %4 dBTP, tagged %5")
                                            .arg(level ? QStringLiteral("levelled") : QStringLiteral("plain"), sources[row].name)
                                            .arg(measured.lufs)
                                            .arg(measured.truePeak)
                                            .arg(gainText);
                QVERIFY2(std::abs(-18 - trackGain - measured.lufs) <= 0.5, qPrintable(context));
                const double peak = id3.frames.value(QStringLiteral("TXXX:REPLAYGAIN_TRACK_PEAK")).toDouble();
                QVERIFY2(std::abs(20 * std::log10(peak) - measured.truePeak) <= 0.5, qPrintable(context));
                QCOMPARE(id3.frames.contains(QStringLiteral("TXXX:REPLAYGAIN_ALBUM_GAIN")), sources[row].album);
                QCOMPARE(id3.frames.contains(QStringLiteral("TXXX:SVELTRA_GAIN")), level);
                if (sources[row].album)
                    album << measured.lufs;
                if (!level) {
                    inputs << measured.lufs;
                    continue;
                }
                QCOMPARE(table.rows[row].note,
                         QStringLiteral("音量均衡 ") + id3.frames.value(QStringLiteral("TXXX:SVELTRA_GAIN")));
                QVERIFY2(measured.truePeak <= -1.0, qPrintable(context));
                // At the target, or lower where the peak would otherwise pass the ceiling; an
                // album's tracks keep their steps (the album is at the target as a whole).
                QVERIFY2(sources[row].album || std::abs(measured.lufs + 16) <= 1.0
                             || (measured.lufs < -16 && measured.truePeak > -4),
                         qPrintable(context));
            }
            // The album as one programme: its tracks joined measure what its album gain says (the
            // quiet track's blocks fall under the album's gate, as a meter of the whole album
            // finds), and a levelled album is at the target as a whole.
            QStringList joined;
            for (int row = 5; row < sources.size(); ++row) {
                joined << out + QStringLiteral("album%1.wav").arg(row);
                QVERIFY(TestMedia::convert(table.rows[row].cells[JobColumn::Target], joined.last()));
            }
            const QString whole = out + QStringLiteral("album.wav");
            QVERIFY(TestMedia::run(QStringLiteral("sox"), joined + QStringList{whole}));
            const double albumLufs = TestMedia::ebur128(whole).lufs;
            const QString albumGain = TestMedia::readId3(table.rows[5].cells[JobColumn::Target])
                                          .frames.value(QStringLiteral("TXXX:REPLAYGAIN_ALBUM_GAIN"));
            QVERIFY2(std::abs(-18 - albumGain.section(QLatin1Char(' '), 0, 0).toDouble() - albumLufs) <= 0.2,
                     qPrintable(QStringLiteral("%1 LUFS joined, tagged %2").arg(albumLufs).arg(albumGain)));
            const double albumPeak = TestMedia::ebur128(whole).truePeak;
            if (level)
                QVERIFY2(std::abs(albumLufs + 16) <= 1.0 || (albumLufs < -16 && albumPeak > -4),
                         qPrintable(QStringLiteral("%1 LUFS %2 dBTP").arg(albumLufs).arg(albumPeak)));
            if (level) {
                // The album's steps are its sources'.
                const QList<double> before = inputs.mid(5);
                for (int i = 1; i < 3; ++i)
                    QVERIFY2(std::abs((album[i] - album[0]) - (before[i] - before[0])) <= 0.5,
                             qPrintable(QStringLiteral("%1 %2 %3").arg(album[0]).arg(album[1]).arg(album[2])));
            }
        }
    }

    // With levelling on, a CD is one album: every track is ripped and measured before any is
    // encoded, all get the same gain, the encoders take the measured rips, and none stays behind.
    // An album is its tags, not its folder, and stays one across runs: disc 1 and disc 2 in
    // folders of their own share one album gain, and after one track is touched and converted
    // again, the kept tracks get the album's values in their tags (not encoded again), all equal
    // to those of a fresh run of the whole album.
    void anAlbumStaysOneAcrossRuns()
    {
        const QString lib = path(QStringLiteral("twodiscs/"));
        QVERIFY(QDir().mkpath(lib + QStringLiteral("CD1")) && QDir().mkpath(lib + QStringLiteral("CD2")));
        const QStringList names{QStringLiteral("CD1/1.wav"), QStringLiteral("CD1/2.wav"), QStringLiteral("CD2/1.wav")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(TestMedia::makeTone(lib + names[i], 3.0, 44100, 2, 300 + 200 * i));
        QStringList notes; // of the last run
        const auto albumGains = [&](const QString &out) {
            Table table;
            for (const QString &name : names) {
                table.add(lib + name);
                table.rows.last().cells[JobColumn::Album] = QStringLiteral("两张碟");
                table.rows.last().baseFolder = lib;
            }
            m_output = out;
            ConversionRun run(environment(table, 2));
            runToEnd(run);
            QStringList gains;
            notes.clear();
            for (const auto &row : table.rows) {
                gains << TestMedia::readId3(row.cells[JobColumn::Target])
                             .frames.value(QStringLiteral("TXXX:REPLAYGAIN_ALBUM_GAIN"));
                notes << row.note;
            }
            return gains;
        };
        const QStringList first = albumGains(path(QStringLiteral("albumrun/")));
        QVERIFY2(!first[0].isEmpty() && first.count(first[0]) == 3, qPrintable(first.join(QLatin1Char('|'))));
        // One track made louder and touched: converted again; the others are kept and retagged.
        QVERIFY(
            TestMedia::run(QStringLiteral("sox"),
                           {lib + names[2], lib + QStringLiteral("louder.wav"), QStringLiteral("vol"), QStringLiteral("6dB")}));
        QFile::remove(lib + names[2]);
        QVERIFY(QFile::rename(lib + QStringLiteral("louder.wav"), lib + names[2]));
        const QStringList again = albumGains(path(QStringLiteral("albumrun/")));
        QVERIFY2(again.count(again[0]) == 3 && again[0] != first[0], qPrintable(again.join(QLatin1Char('|'))));
        QCOMPARE(notes.mid(0, 2), QStringList(2, QStringLiteral("已是最新，未重新压缩")));
        const QStringList fresh = albumGains(path(QStringLiteral("albumfresh/")));
        QVERIFY2(
            std::abs(fresh[0].section(QLatin1Char(' '), 0, 0).toDouble() - again[0].section(QLatin1Char(' '), 0, 0).toDouble())
                <= 0.1,
            qPrintable(fresh[0] + QLatin1Char('|') + again[0]));
    }

    void aLevelledCdIsOneAlbum()
    {
        const QString discDir = path(QStringLiteral("leveldisc"));
        QVERIFY(QDir().mkpath(discDir));
        TestCd::Image image;
        QVERIFY(TestCd::MakeImage(&image, discDir, QStringLiteral("quiet"), {{2.0, 440}, {2.0, 660}}, false));
        m_output = path(QStringLiteral("levelcd/"));
        QVERIFY(QDir().mkpath(m_output));
        m_channel = 1;
        m_quality = 2;
        Table table;
        table.add(image.cuePath + QStringLiteral("/Track01.cda"), QStringLiteral("一"));
        table.add(image.cuePath + QStringLiteral("/Track02.cda"), QStringLiteral("二"));
        ConversionRun::Environment env = environment(table, 2);
        const QString tempDir = path(QStringLiteral("leveltemp"));
        QVERIFY(QDir().mkpath(tempDir));
        env.tempBasePath = tempDir + QStringLiteral("/~sveltratmp");
        env.cdDriveFor = [&image](const QString &folder) { return folder == image.cuePath ? image.cuePath : QString(); };
        env.level = true;
        ConversionRun run(std::move(env));
        runToEnd(run);
        QStringList gains;
        for (const auto &row : table.rows) {
            QCOMPARE(row.status, int(JobStatus::Done));
            const TestMedia::Id3 id3 = TestMedia::readId3(row.cells[JobColumn::Target]);
            gains << id3.frames.value(QStringLiteral("TXXX:SVELTRA_GAIN"));
            QVERIFY(id3.frames.contains(QStringLiteral("TXXX:REPLAYGAIN_ALBUM_GAIN")));
        }
        QVERIFY2(!gains[0].isEmpty() && gains[0] == gains[1], qPrintable(gains.join(QLatin1Char(','))));
        QCOMPARE(QDir(tempDir).entryList(QDir::Files), QStringList());
    }

    // Levelling judges the peak on the output: an encoder whose output still passes -1 dBTP is
    // run again with the gain lowered by the excess, once, and the tag tells the gain applied.
    void aLevelledOutputOverTheCeilingIsEncodedAgain()
    {
        const QString encoder = path(QStringLiteral("peaky.sh"));
        const QString log = path(QStringLiteral("peaky.log"));
        QFile script(encoder);
        QVERIFY(script.open(QIODevice::WriteOnly));
        // -measure: the source at -20 LUFS, -10 dBTP (a gain of +4 dB); the first encoding's
        // output peaks at -0.4 dBTP, every later one at -1.6.
        script.write("#!/bin/sh\necho \"$*\" >> '" + log.toUtf8()
                     + "'\nif [ \"$1\" = -measure ]; then echo 'loudness -20.00 -10.00 4.00'; exit 0; fi\n"
                       "cp \"$1\" \"$2\"\n"
                       "if [ \"$(grep -c -- -gain '"
                     + log.toUtf8()
                     + "')\" = 1 ]; then echo 'loudness -16.10 -0.40 4.00'; else echo 'loudness -16.90 -1.60 4.00'; fi\n"
                       "echo 'progress 100'\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        const QString out = path(QStringLiteral("peaky/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        Table table;
        table.add(path(QStringLiteral("song.mp3")), QStringLiteral("峰"));
        ConversionRun::Environment env = environment(table, 1, encoder);
        env.level = true;
        ConversionRun run(env);
        runToEnd(run);
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> calls = logFile.readAll().trimmed().split('\n');
        QCOMPARE(calls.size(), 3);
        QVERIFY(calls[0].startsWith("-measure "));
        QVERIFY2(calls[1].contains("-gain 4.00 -reencode"), calls[1].constData());
        QVERIFY2(calls[2].contains("-gain 3.10 -reencode"), calls[2].constData()); // 4 - 0.6 - 0.3
        const TestMedia::Id3 id3 = TestMedia::readId3(table.rows[0].cells[JobColumn::Target]);
        QCOMPARE(id3.frames.value(QStringLiteral("TXXX:SVELTRA_GAIN")), QStringLiteral("+3.10 dB"));
        QCOMPARE(id3.frames.value(QStringLiteral("TXXX:REPLAYGAIN_TRACK_GAIN")), QStringLiteral("-1.10 dB"));
        QCOMPARE(table.rows[0].note, QStringLiteral("音量均衡 +3.10 dB"));
    }

    void nothingQueuedEndsAtOnce()
    {
        Table table;
        table.add(path(QStringLiteral("song.wav")), QStringLiteral("x"), JobStatus::Failed);
        ConversionRun run(environment(table, 2));
        const RunResult result = runToEnd(run);
        QCOMPARE(result.queuedAtStart, 0);
        QVERIFY(result.ordinals.isEmpty());
        QCOMPARE(table.rows[0].status, int(JobStatus::Failed));
    }

    void anEncoderThatCannotStartFailsItsRowsOnly()
    {
        m_output = path(QStringLiteral("nowhere"));
        Table table;
        table.add(path(QStringLiteral("song.wav")));
        table.add(path(QStringLiteral("song.mp3")));
        table.add(QStringLiteral("/dev/sr9/Track02.cda"), QStringLiteral("Intro"));
        ConversionRun run(environment(table, 1, path(QStringLiteral("no-such-encoder"))));
        const RunResult result = runToEnd(run);
        QVERIFY(!result.cancelled);
        for (const auto &row : table.rows)
            QCOMPARE(row.status, int(JobStatus::Failed));
        QVERIFY(table.rows[0].note.contains(QStringLiteral("无法启动编码器")));
    }

    // A run of one row lets the encoder use every core; in a run of several rows each encoder
    // works on one thread, one at a time or several at once, so every row comes out the same.
    void oneRowSpreadsOverTheCoresSeveralRowsShareThem()
    {
        const QString log = path(QStringLiteral("arguments.log"));
        const QString encoder = path(QStringLiteral("logging-encoder"));
        QFile script(encoder);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\nexec '%2' \"$@\"\n")
                         .arg(log, QStringLiteral(SVELTRA_BIN_DIR "/fastencc"))
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        for (const auto &[rows, parallel] : {std::pair{1, 2}, std::pair{2, 1}, std::pair{2, 2}}) {
            QFile::remove(log);
            m_output = path(QStringLiteral("spread%1-%2/").arg(rows).arg(parallel));
            QVERIFY(QDir().mkpath(m_output));
            Table table;
            for (int i = 0; i < rows; ++i)
                table.add(path(QStringLiteral("song.wav")), QStringLiteral("曲%1").arg(i));
            ConversionRun run(environment(table, parallel, encoder));
            QVERIFY(!runToEnd(run).cancelled);
            QFile lines(log);
            QVERIFY(lines.open(QIODevice::ReadOnly));
            const QList<QByteArray> started = lines.readAll().trimmed().split('\n');
            QCOMPARE(started.size(), rows);
            for (const QByteArray &arguments : started)
                QCOMPARE(arguments.endsWith(" -1t"), rows > 1);
        }
    }

    void severalAtOnceGiveTheSameFilesAsOneAtATime()
    {
        m_channel = 1;
        m_quality = 1;
        QByteArrayList outputs[2];
        for (int pass = 0; pass < 2; ++pass) {
            const QString out = path(QStringLiteral("same%1/").arg(pass));
            QVERIFY(QDir().mkpath(out));
            m_output = out;
            Table table;
            table.add(path(QStringLiteral("song.wav")), QStringLiteral("一"));
            table.add(path(QStringLiteral("song.mp3")), QStringLiteral("二"));
            table.add(path(QStringLiteral("歌 曲.wma")), QStringLiteral("三"));
            ConversionRun run(environment(table, pass == 0 ? 1 : 3));
            QVERIFY(!runToEnd(run).cancelled);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(table.rows[i].status, int(JobStatus::Done));
                QFile f(table.rows[i].cells[JobColumn::Target]);
                QVERIFY(f.open(QIODevice::ReadOnly));
                outputs[pass] << f.readAll();
            }
        }
        QCOMPARE(outputs[0], outputs[1]);
    }

    // The run's share, fed by the real encoder's progress as the progress window feeds it, only
    // grows and ends at 100, for one long file and for a batch of forty files of mixed lengths.
    // How far the time-left estimate was from the truth is printed, not judged: that depends on
    // the machine.
    void theRunsShareOnlyGrowsToTheEnd_data()
    {
        QTest::addColumn<QList<double>>("seconds");
        QTest::newRow("one ten-minute file") << QList<double>{600.0};
        QList<double> batch;
        for (int i = 0; i < 40; ++i)
            batch << 1.0 + i % 5;
        QTest::newRow("forty files") << batch;
    }
    void theRunsShareOnlyGrowsToTheEnd()
    {
        QFETCH(QList<double>, seconds);
        const QString folder = path(QStringLiteral("share%1/").arg(seconds.size()));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("out")));
        m_output = folder + QStringLiteral("out/");
        Table table;
        for (int i = 0; i < seconds.size(); ++i) {
            // One file of each length, copied under the names of the others of that length.
            const QString model = folder + QStringLiteral("tone%1.wav").arg(seconds[i]);
            if (!QFile::exists(model))
                QVERIFY(TestMedia::makeTone(model, seconds[i], 22050, 1, 200 + 40 * i));
            const QString file = folder + QStringLiteral("%1.wav").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(QFile::copy(model, file));
            table.add(file);
            table.rows.last().cells[JobColumn::PlayTime] = FormatDuration(static_cast<qint64>(seconds[i] * 1000));
        }

        ConversionRun run(environment(table, 2));
        RunProgress share;
        QElapsedTimer clock;
        struct Sample
        {
            qint64 at;
            int percent;
            std::optional<qint64> left;
        };
        QList<Sample> samples;
        const auto sample = [&] {
            samples << Sample{clock.elapsed(), share.percent(), EstimateRemainingMs(share.fraction(), clock.elapsed())};
        };
        connect(&run, &ConversionRun::started, this, [&] {
            share.begin(table);
            clock.start();
        });
        connect(&run, &ConversionRun::rowProgress, this, [&](int row, int percent) {
            share.setRowPercent(row, percent);
            sample();
        });
        connect(&run, &ConversionRun::rowFinished, this, [&](int row, RowOutcome) {
            share.finishRow(row);
            sample();
        });
        QVERIFY(!runToEnd(run).cancelled);
        const qint64 end = clock.elapsed();
        for (const auto &row : table.rows)
            QCOMPARE(row.status, int(JobStatus::Done));

        QVERIFY(samples.size() > 2);
        int last = 0;
        double worst = 0;
        for (const Sample &s : std::as_const(samples)) {
            QVERIFY(s.percent >= last);
            last = s.percent;
            if (s.percent >= 10 && s.left && end - s.at > 1000)
                worst = std::max(worst, std::abs(static_cast<double>(*s.left - (end - s.at))) / static_cast<double>(end - s.at));
        }
        QCOMPARE(last, 100);
        qInfo("%s: %lld ms, %lld reports, time left off by at most %.0f %% after the first tenth", QTest::currentDataTag(), end,
              static_cast<long long>(samples.size()), worst * 100);
    }

    void cancelStopsEveryEncoderAndLeavesRowsQueued()
    {
        const QString longWav = path(QStringLiteral("long.wav"));
        QVERIFY(TestMedia::makeTone(longWav, 600.0, 44100, 2, 220));
        const QString out = path(QStringLiteral("cancelled/"));
        QVERIFY(QDir().mkpath(out));
        m_output = out;
        m_channel = 1;
        m_quality = 1;

        Table table;
        table.add(path(QStringLiteral("song.wav")));
        table.add(longWav);
        table.add(longWav.left(longWav.size() - 4) + QStringLiteral(".WAV")); // a different path
        QFile::copy(longWav, table.rows[2].cells[JobColumn::SourcePath] + table.rows[2].cells[JobColumn::Source]);
        table.add(path(QStringLiteral("song.mp3")));

        ConversionRun run(environment(table, 2));
        QElapsedTimer clock;
        const RunResult result = runToEnd(run, [&](int ordinal) {
            if (ordinal == 3)
                QTimer::singleShot(300, &run, [&] {
                    clock.start();
                    run.cancel();
                });
        });
        QVERIFY(result.cancelled);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(table.rows[0].status, int(JobStatus::Done));
        QCOMPARE(table.rows[1].status, int(JobStatus::Queued));
        QCOMPARE(table.rows[2].status, int(JobStatus::Queued));
        QCOMPARE(table.rows[3].status, int(JobStatus::Queued));
        QCOMPARE(table.rows[1].cells[JobColumn::Target], QString());
        // Only the finished file is there: no partial output, no temporary file.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("D-CD-song.MP3")});
    }
};

QTEST_GUILESS_MAIN(TestConversionRun)
#include "test_conversionrun.moc"
