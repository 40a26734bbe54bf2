// The measuring pass before a levelled run: every input measured by the real fastencc (its
// blocks with it), an input made meanwhile measured once it is there and one that cannot be made
// left out, and a stop ends it at once.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "core/loudness/loudnesssurvey.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

class TestLoudnessSurvey : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const QString m_encoder = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");

private slots:
    void measuresMakesAndStops()
    {
        const QString loud = m_dir.filePath(QStringLiteral("loud.wav"));
        const QString quiet = m_dir.filePath(QStringLiteral("quiet.wav"));
        QVERIFY(TestMedia::makeTone(loud, 3.0));
        QVERIFY(TestMedia::run(QStringLiteral("sox"), {loud, quiet, QStringLiteral("vol"), QStringLiteral("-12dB")}));
        const QStringList options{QStringLiteral("-br"), QStringLiteral("64000")};
        // Rows 5 and 7 are ripped meanwhile: the survey waits for them, measures 7 once it is
        // there and leaves 5 out when it cannot be made.
        const QString later = m_dir.filePath(QStringLiteral("later.wav"));
        LoudnessSurvey survey(
            m_encoder,
            {{0, loud, options, false}, {3, quiet, options, false}, {5, loud, options, true}, {7, later, options, true}}, 2);
        QHash<int, LoudnessReading> readings;
        connect(&survey, &LoudnessSurvey::measured, this, [&](int row, const LoudnessReading &r) { readings.insert(row, r); });
        QSignalSpy finished(&survey, &LoudnessSurvey::finished);
        survey.start();
        QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 2, 60000);
        QTest::qWait(200);
        QCOMPARE(finished.count(), 0);
        survey.inputMade(5, false);
        QVERIFY(QFile::copy(quiet, later));
        survey.inputMade(7, true);
        QVERIFY(finished.wait(60000));
        QCOMPARE(readings.keys().size(), 3); // row 5's input could not be made
        QVERIFY(std::abs(readings[7].lufs - readings[3].lufs) < 0.1);
        QVERIFY2(std::abs(readings[0].lufs - readings[3].lufs - 12.0) < 0.3,
                 qPrintable(QStringLiteral("%1 %2").arg(readings[0].lufs).arg(readings[3].lufs)));
        QVERIFY(!readings[0].blocks.isEmpty() && std::abs(GatedLoudness(readings[0].blocks) - readings[0].lufs) < 0.1);

        LoudnessSurvey stopped(m_encoder, {{0, loud, options, false}, {1, later, options, true}}, 1);
        QSignalSpy stoppedEnd(&stopped, &LoudnessSurvey::finished);
        connect(&stopped, &LoudnessSurvey::measured, this, [] { QFAIL("a stopped survey measured"); });
        stopped.start();
        stopped.cancel();
        QVERIFY(stoppedEnd.wait(10000));
    }
};

QTEST_GUILESS_MAIN(TestLoudnessSurvey)
#include "test_loudnesssurvey.moc"
