// The summary people read at the end of a run: rows counted by outcome, the saving, the most
// common failure, and sizes for people.

#include <QTest>

#include "core/joblist/jobrows.h"
#include "core/run/runsummary.h"
#include "tests/support/jobtable.h"

using namespace Sveltra;

using Table = TestSupport::JobTable;

class TestRunSummary : public QObject
{
    Q_OBJECT

private slots:
    void summaryCountsAndSays()
    {
        Table table;
        table.addTimed(QStringLiteral("00:01:00"), QStringLiteral("10000000")); // done, saves
        table.addTimed(QStringLiteral("00:01:00"), QStringLiteral("5000000"));  // failed
        table.addTimed(QStringLiteral("00:01:00"), QStringLiteral("180224.5")); // CD track, done
        table.addTimed(QStringLiteral("00:01:00"), QStringLiteral("1000"));     // never reached
        table.rows[0].status = JobStatus::Done;
        table.rows[0].cells[JobColumn::TargetSize] = QStringLiteral("2000000");
        table.rows[1].status = JobStatus::Failed;
        table.rows[2].status = JobStatus::Done;
        table.rows[2].cells[JobColumn::TargetSize] = QStringLiteral("80224");

        RunSummary summary;
        for (int row : {0, 1, 2})
            summary.addFinishedRow(table, row, row == 1 ? RowOutcome::Failed : RowOutcome::Converted);
        summary.setQueuedAtStart(4);
        QCOMPARE(summary.converted, 2);
        QCOMPARE(summary.failed, 1);
        QCOMPARE(summary.queued, 1);
        QCOMPARE(summary.savedBytes, qint64(8000000 + 100001)); // 100000.5 rounds away from zero
        QCOMPARE(RunSummaryText(summary), QStringLiteral("完成 2 个，失败 1 个，等待 1 个，节省 7.7 MB"));

        RunSummary all{40, 1, 0, qint64(2227000000) / 10};
        QCOMPARE(RunSummaryText(all), QStringLiteral("完成 40 个，失败 1 个，节省 212.4 MB"));
        QCOMPARE(RunSummaryText(RunSummary{}), QStringLiteral("完成 0 个，失败 0 个，节省 0 B"));
        QCOMPARE(RunSummaryText(RunSummary{1, 0, 0, -2048}), QStringLiteral("完成 1 个，失败 0 个，多占 2.0 KB"));
        // The run's play lists: those written, and those that could not be.
        RunSummary listed{3, 0, 0, 0};
        listed.playlistsWritten = 2;
        QCOMPARE(RunSummaryText(listed), QStringLiteral("完成 3 个，失败 0 个，节省 0 B，写入播放列表 2 个"));
        listed.playlistProblems << QStringLiteral("无法写入播放列表：A/A.m3u8");
        QCOMPARE(RunSummaryText(listed),
                 QStringLiteral("完成 3 个，失败 0 个，节省 0 B，写入播放列表 2 个，播放列表未写入 1 个"));
        // Kept outputs count on their own; the reason most failed rows give is named (the first
        // of a tie), and a failure with no reason names none.
        Table kinds;
        const QStringList notes{QStringLiteral("已是最新，未重新压缩"),
                                QStringLiteral("磁盘空间不足"),
                                QStringLiteral("编码失败"),
                                QStringLiteral("磁盘空间不足"),
                                QString(),
                                QStringLiteral("编码失败"),
                                QStringLiteral("编码失败")};
        RunSummary mixed;
        for (int row = 0; row < notes.size(); ++row) {
            kinds.addTimed(QStringLiteral("00:01:00"), QStringLiteral("1000"), row == 0 ? JobStatus::Done : JobStatus::Failed);
            kinds.rows[row].cells[JobColumn::TargetSize] = QStringLiteral("500");
            kinds.rows[row].note = notes[row];
            mixed.addFinishedRow(kinds, row, row == 0 ? RowOutcome::Kept : RowOutcome::Failed);
            if (row == 4)
                QCOMPARE(mixed.commonFailure, QStringLiteral("磁盘空间不足"));
        }
        mixed.setQueuedAtStart(8);
        QCOMPARE(mixed.skipped, 1);
        QCOMPARE(mixed.savedBytes, qint64(0));
        QCOMPARE(RunSummaryText(mixed), QStringLiteral("完成 0 个，跳过 1 个，失败 6 个：编码失败，等待 1 个，节省 0 B"));
        RunSummary noReason;
        kinds.rows[0] = kinds.rows[4];
        noReason.addFinishedRow(kinds, 0, RowOutcome::Failed);
        QCOMPARE(RunSummaryText(noReason), QStringLiteral("完成 0 个，失败 1 个，节省 0 B"));
        // A damaged source's row counts apart, with its saving.
        RunSummary damaged;
        kinds.rows[1].status = JobStatus::Damaged;
        damaged.addFinishedRow(kinds, 1, RowOutcome::Damaged);
        damaged.addFinishedRow(kinds, 2, RowOutcome::Copied);
        QCOMPARE(RunSummaryText(damaged), QStringLiteral("完成 1 个，有问题 1 个，失败 0 个，节省 1000 B"));
        QCOMPARE(RowStatusText(JobStatus::Damaged, QStringLiteral("源文件已损坏：只转换了 0:00（应为 3:34）")),
                 QStringLiteral("有问题：源文件已损坏：只转换了 0:00（应为 3:34）"));

        // A row with no target size saves nothing rather than all of its source.
        RunSummary odd;
        table.rows[3].status = JobStatus::Done;
        odd.addFinishedRow(table, 3, RowOutcome::Converted);
        QCOMPARE(odd.savedBytes, qint64(0));
        odd.setQueuedAtStart(0);
        QCOMPARE(odd.queued, 0);
    }

    void byteSizes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << QStringLiteral("0 B");
        QTest::newRow("1023") << qint64(1023) << QStringLiteral("1023 B");
        QTest::newRow("1024") << qint64(1024) << QStringLiteral("1.0 KB");
        QTest::newRow("just under a MB") << qint64(1048575) << QStringLiteral("1.0 MB");
        QTest::newRow("212.4 MB") << qint64(222717542) << QStringLiteral("212.4 MB");
        QTest::newRow("TB, no further") << (qint64(5000) << 40) << QStringLiteral("5000.0 TB");
    }
    void byteSizes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(ByteSizeText(bytes), text);
    }
};

QTEST_GUILESS_MAIN(TestRunSummary)
#include "test_runsummary.moc"
