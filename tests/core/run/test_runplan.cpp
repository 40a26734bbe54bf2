// The plan of a run, made before anything starts and without the encoder: every queued row's kind,
// target and album over a small library (new, changed, kept, CD tracks, a two-disc album).

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/joblist/jobrules.h"
#include "core/loudness/loudness.h"
#include "core/media/audioinformation.h"
#include "core/output/failurereason.h"
#include "core/run/runplan.h"
#include "tests/support/jobtable.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

class TestRunPlan : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A tagged FLAC of the library.
    void makeTrack(const QString &name, const QString &album, const QString &disc)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path(name)).path()));
        QVERIFY(TestMedia::convert(path(QStringLiteral("tone.wav")), path(name),
                                   {QStringLiteral("-metadata"), QStringLiteral("album=") + album, QStringLiteral("-metadata"),
                                    QStringLiteral("album_artist=Various"), QStringLiteral("-metadata"),
                                    QStringLiteral("disc=") + disc}));
    }

    static void add(TestSupport::JobTable &table, const QString &source, const QString &base, const QString &album = {})
    {
        TestSupport::JobTable::Row row;
        const QString name = GetFileName(source);
        row.cells[JobColumn::Name] = name;
        row.cells[JobColumn::Source] = name;
        row.cells[JobColumn::SourcePath] = source.left(source.size() - name.size());
        row.cells[JobColumn::Title] = UntitledPlaceholder();
        row.cells[JobColumn::Album] = album;
        row.cells[JobColumn::Artist] = QStringLiteral("Someone");
        row.cells[JobColumn::Size] = QString::number(QFileInfo(source).size());
        row.baseFolder = base;
        table.rows << row;
    }

private slots:
    void initTestCase() { QVERIFY(TestMedia::makeTone(path(QStringLiteral("tone.wav")), 1.0)); }

    void aLibraryIsPlannedRowByRow()
    {
        const QString lib = path(QStringLiteral("lib"));
        const QString out = path(QStringLiteral("out/"));
        makeTrack(QStringLiteral("lib/Best/CD1/01.flac"), QStringLiteral("Best"), QStringLiteral("1/2"));
        makeTrack(QStringLiteral("lib/Best/CD2/01.flac"), QStringLiteral("Best"), QStringLiteral("2/2"));
        makeTrack(QStringLiteral("lib/Best/CD2/02.flac"), QStringLiteral("Best"), QStringLiteral("2/2"));
        makeTrack(QStringLiteral("lib/Other/01.flac"), QStringLiteral("Best"), QStringLiteral("1/1")); // another edition
        makeTrack(QStringLiteral("lib/changed.flac"), {}, QStringLiteral("1/1"));

        RunSettings settings;
        settings.outputFolder = out;
        settings.channelChoice = 2;
        settings.qualityChoice = 2;
        settings.cdDriveFor = [this](const QString &folder) {
            return folder == path(QStringLiteral("disc.cue")) ? folder : QString();
        };
        TestSupport::JobTable table;
        add(table, path(QStringLiteral("lib/Best/CD1/01.flac")), lib, QStringLiteral("Best"));
        add(table, path(QStringLiteral("lib/Best/CD2/01.flac")), lib, QStringLiteral("Best"));
        add(table, path(QStringLiteral("lib/Best/CD2/02.flac")), lib, QStringLiteral("Best"));
        add(table, path(QStringLiteral("lib/Other/01.flac")), lib, QStringLiteral("Best"));
        add(table, path(QStringLiteral("lib/changed.flac")), lib);
        add(table, path(QStringLiteral("disc.cue/Track02.cda")), {});
        add(table, path(QStringLiteral("nodrive/Track01.cda")), {});
        add(table, path(QStringLiteral("lib/changed.flac")), lib);
        table.rows.last().status = JobStatus::Done; // not queued: not planned

        // Earlier outputs: CD2/02's is of the unchanged source (kept, and with its loudness in its
        // tag it joins its album); changed.flac's is of an older state of its source.
        const RunPlan first = PlanRun(table, settings);
        for (const int i : {2, 4}) {
            const QString target = first.rows[i].target.target;
            QVERIFY(QDir().mkpath(QFileInfo(target).path()));
            QVERIFY(TestMedia::convert(path(QStringLiteral("tone.wav")), target));
            QString stamp = first.rows[i].target.stamp;
            if (i == 4)
                stamp = SourceStamp{path(QStringLiteral("lib/changed.flac")), 1, 2, SourceStamp::parse(stamp)->profile}.text();
            QVERIFY(WriteSourceStamp(target, stamp));
        }
        LoudnessReading keptReading{-20.0, -3.0, 1.0};
        keptReading.blocks.bins[500] = 7;
        QVERIFY(WriteUserTexts(first.rows[2].target.target, TrackLoudnessTexts(keptReading, std::nullopt)));

        const RunPlan plan = PlanRun(table, settings);
        QCOMPARE(plan.queued(), 7);
        QCOMPARE(plan.prefix, QStringLiteral("D-Mono-FM-"));
        QVERIFY(!plan.find(7));
        const auto kinds = [&plan] {
            QList<int> k;
            for (const PlannedRow &p : plan.rows)
                k << int(p.kind);
            return k;
        }();
        const int encode = int(PlannedKind::Encode), keep = int(PlannedKind::Keep), fail = int(PlannedKind::Fail);
        QCOMPARE(kinds, (QList<int>{encode, encode, keep, encode, encode, encode, fail}));

        // Targets keep the library's tree; the changed source's earlier output is written over.
        QCOMPARE(plan.rows[0].target.target, out + QStringLiteral("Best/CD1/D-Mono-FM-01.MP3"));
        QCOMPARE(plan.rows[1].target.target, out + QStringLiteral("Best/CD2/D-Mono-FM-01.MP3"));
        QCOMPARE(plan.rows[4].target.target, out + QStringLiteral("D-Mono-FM-changed.MP3"));
        QVERIFY(plan.rows[4].target.replaceEarlier && !plan.rows[4].target.upToDate);
        QCOMPARE(plan.rows[5].target.target, out + QStringLiteral("D-Mono-FM-02-Unknown.MP3"));

        // Both discs are one album with their kept track (its loudness read back); the other
        // edition is an album of its own; a CD is one too; no album for a single.
        QCOMPARE(plan.rows[0].album, plan.rows[1].album);
        QCOMPARE(plan.rows[2].album, plan.rows[0].album);
        QVERIFY(plan.rows[2].keptLoudness && plan.rows[2].keptLoudness->output.blocks.bins.value(500) == 7u);
        QVERIFY(plan.rows[3].album >= 0 && plan.rows[3].album != plan.rows[0].album);
        QCOMPARE(plan.rows[4].album, -1);
        QVERIFY(plan.rows[5].album >= 0);
        QCOMPARE(plan.albums.value(plan.rows[0].album), (QList<int>{0, 1, 2}));

        // CD tracks: the drive and number, or a failure with its reason; a CD track's tag has no
        // source file, a file's untitled row is titled with its name.
        QCOMPARE(plan.rows[5].cdDrive, path(QStringLiteral("disc.cue")));
        QCOMPARE(plan.rows[5].cdTrack, 2);
        QCOMPARE(plan.rows[6].reason, NoCdDriveReason());
        QVERIFY(plan.rows[5].tag.SourcePath.isEmpty());
        QCOMPARE(plan.rows[0].tag.Title, QStringLiteral("01"));
        QCOMPARE(plan.rows[0].tag.SourceStamp, plan.rows[0].target.stamp);
        QVERIFY(plan.rows[0].encoderArguments.contains(QStringLiteral("-dm")));

        // Nothing was written by planning.
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("Best/CD1")));
    }
};

QTEST_GUILESS_MAIN(TestRunPlan)
#include "test_runplan.moc"
