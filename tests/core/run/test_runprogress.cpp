// The run's overall progress and its time-left estimate: pure rules, with runs simulated on a
// clock of their own.

#include <QTest>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "core/joblist/jobrows.h"
#include "core/run/runprogress.h"
#include "tests/support/jobtable.h"

using namespace Sveltra;

namespace {

using Table = TestSupport::JobTable;

// A run on a clock of its own: files of the given lengths, `parallel` encoders that each encode
// `speed` milliseconds of audio per millisecond after a start-up of `overheadMs`, reporting
// whole percentages as fastencc does. Each report feeds the progress; returns, for every report,
// the elapsed time and the percentage and estimate shown then, and the run's real end.
struct Sample
{
    qint64 elapsed;
    int percent;
    std::optional<qint64> remaining;
};

std::vector<Sample> simulate(const std::vector<qint64> &lengths, int parallel, double speed, qint64 overheadMs, qint64 *endMs)
{
    QHash<int, qint64> playTimes;
    for (int i = 0; i < static_cast<int>(lengths.size()); ++i)
        playTimes.insert(i, lengths[static_cast<std::size_t>(i)]);
    RunProgress progress;
    progress.begin(playTimes);

    struct Event
    {
        qint64 at;
        int row;
        int percent;
    };
    std::vector<Event> events;
    std::vector<qint64> freeAt(static_cast<std::size_t>(parallel), 0);
    for (int i = 0; i < static_cast<int>(lengths.size()); ++i) {
        auto slot = std::min_element(freeAt.begin(), freeAt.end());
        const qint64 start = *slot + overheadMs;
        const double duration = static_cast<double>(lengths[static_cast<std::size_t>(i)]) / speed;
        for (int p = 1; p <= 100; ++p)
            events.push_back({start + static_cast<qint64>(duration * p / 100.0), i, p});
        *slot = start + static_cast<qint64>(duration);
    }
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.at < b.at; });
    *endMs = *std::max_element(freeAt.begin(), freeAt.end());

    std::vector<Sample> samples;
    for (const Event &e : events) {
        progress.setRowPercent(e.row, e.percent);
        samples.push_back({e.at, progress.percent(), EstimateRemainingMs(progress.fraction(), e.at)});
    }
    return samples;
}

} // namespace

class TestRunProgress : public QObject
{
    Q_OBJECT

private slots:
    void shareIsWeightedByPlayTime()
    {
        RunProgress progress;
        // A ten-minute file and a one-minute file: half of the long one is 45 % of the run.
        progress.begin(QHash<int, qint64>{{0, 600000}, {3, 60000}});
        QCOMPARE(progress.percent(), 0);
        progress.setRowPercent(0, 50);
        QCOMPARE(progress.percent(), 45);
        // Lower values, unknown rows and values out of range change nothing or are held to 100.
        progress.setRowPercent(0, 20);
        progress.setRowPercent(7, 100);
        progress.setRowPercent(-1, 100);
        QCOMPARE(progress.percent(), 45);
        // Both rows at once count.
        progress.setRowPercent(3, 250);
        QCOMPARE(progress.percent(), 54);
        progress.setRowPercent(0, 99);
        QCOMPARE(progress.percent(), 99); // 99.1 % shows as 99, never rounded up to 100
        progress.finishRow(0);
        QCOMPARE(progress.percent(), 100);
        QCOMPARE(progress.fraction(), 1.0);

        // Unknown lengths weigh as the average known one; with none known, all weigh the same.
        progress.begin(QHash<int, qint64>{{0, 100000}, {1, 0}, {2, 300000}, {3, -5}});
        progress.finishRow(1);
        QCOMPARE(progress.percent(), 25);
        progress.begin(QHash<int, qint64>{{0, 0}, {1, 0}, {2, 0}, {3, 0}});
        progress.finishRow(2);
        QCOMPARE(progress.percent(), 25);
        // A run with nothing to do is done.
        progress.begin(QHash<int, qint64>{});
        QCOMPARE(progress.percent(), 100);

        // Read from the list: only queued rows, by their play-time column.
        Table table;
        table.addTimed(QStringLiteral("00:10:00"), QStringLiteral("1"));
        table.addTimed(QStringLiteral("00:01:00"), QStringLiteral("1"), JobStatus::Done);
        table.addTimed(QStringLiteral("00:05:00"), QStringLiteral("1"));
        progress.begin(table);
        QCOMPARE(progress.rowCount(), 2);
        progress.finishRow(1); // not part of the run
        progress.finishRow(2);
        QCOMPARE(progress.percent(), 33);
    }

    void playTimeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("minutes") << QStringLiteral("00:04:06") << qint64(246000);
        QTest::newRow("hours") << QStringLiteral("01:00:00") << qint64(3600000);
        QTest::newRow("many hours") << QStringLiteral("123:00:01") << qint64(442801000);
        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("not a time") << QStringLiteral("Unknown") << qint64(0);
        QTest::newRow("minutes only") << QStringLiteral("04:06") << qint64(0);
        QTest::newRow("huge") << QStringLiteral("99999999999999999999:00:00") << qint64(0);
    }
    void playTimeTexts()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(PlayTimeMilliseconds(text), ms);
    }

    void timeLeftAndItsText()
    {
        QCOMPARE(EstimateRemainingMs(0.0, 5000), std::nullopt);
        QCOMPARE(EstimateRemainingMs(0.005, 5000), std::nullopt); // too little done to say
        QCOMPARE(EstimateRemainingMs(0.5, 500), std::nullopt);    // too early to say
        QCOMPARE(EstimateRemainingMs(0.25, 10000), std::optional<qint64>(30000));
        QCOMPARE(EstimateRemainingMs(1.0, 10000), std::optional<qint64>(0));

        QCOMPARE(RemainingTimeText(80000), QStringLiteral("1:20"));
        QCOMPARE(RemainingTimeText(79001), QStringLiteral("1:20")); // rounded up
        QCOMPARE(RemainingTimeText(0), QStringLiteral("0:00"));
        QCOMPARE(RemainingTimeText(-5), QStringLiteral("0:00"));
        QCOMPARE(RemainingTimeText(3723000), QStringLiteral("1:02:03"));
        QCOMPARE(ProgressText(37, 80000), QStringLiteral("37% · 剩余 1:20"));
        QCOMPARE(ProgressText(37, std::nullopt), QStringLiteral("37%"));
        QCOMPARE(ProgressText(100, 0), QStringLiteral("100%"));
    }

    // The shown share only grows and ends at 100; after the first tenth the time left is within
    // 30 % of the truth (or a second, at the very end), for one long file and for a batch of
    // forty files of mixed lengths on two encoders with a start-up cost for each file.
    void estimateFollowsSimulatedRuns_data()
    {
        QTest::addColumn<std::vector<qint64>>("lengths");
        QTest::addColumn<int>("parallel");
        QTest::addColumn<qint64>("overhead");
        QTest::newRow("one ten-minute file") << std::vector<qint64>{600000} << 2 << qint64(80);
        std::vector<qint64> batch;
        for (int i = 0; i < 40; ++i)
            batch.push_back(120000 + (i * 7919 % 13) * 20000); // 2 to 6 minutes, in no order
        QTest::newRow("forty files, two at once") << batch << 2 << qint64(150);
        QTest::newRow("forty files, one at a time") << batch << 1 << qint64(150);
    }
    void estimateFollowsSimulatedRuns()
    {
        QFETCH(std::vector<qint64>, lengths);
        QFETCH(int, parallel);
        QFETCH(qint64, overhead);
        qint64 end = 0;
        const std::vector<Sample> samples = simulate(lengths, parallel, 40.0, overhead, &end);
        QVERIFY(!samples.empty());
        int last = 0;
        for (const Sample &s : samples) {
            QVERIFY(s.percent >= last);
            last = s.percent;
            if (s.percent < 10)
                continue;
            QVERIFY(s.remaining.has_value());
            const qint64 truth = end - s.elapsed;
            const qint64 error = std::llabs(*s.remaining - truth);
            QVERIFY2(
                error <= std::max<qint64>(1000, truth * 3 / 10),
                qPrintable(QStringLiteral("at %1 %: %2 ms left shown, %3 ms true").arg(s.percent).arg(*s.remaining).arg(truth)));
        }
        QCOMPARE(last, 100);
    }
};

QTEST_GUILESS_MAIN(TestRunProgress)
#include "test_runprogress.moc"
