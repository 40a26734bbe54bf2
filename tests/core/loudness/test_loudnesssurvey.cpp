// The measuring pass before a levelled run: every input measured by the real fastencc (its
// blocks with it), an input that cannot be made gives no reading, and a stop ends it at once.

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
        const auto never = [](const std::atomic<bool> &) { return false; };
        LoudnessSurvey survey(m_encoder, {{0, loud, options, {}}, {3, quiet, options, {}}, {5, loud, options, never}}, 2);
        QHash<int, LoudnessReading> readings;
        connect(&survey, &LoudnessSurvey::measured, this, [&](int row, const LoudnessReading &r) { readings.insert(row, r); });
        QSignalSpy finished(&survey, &LoudnessSurvey::finished);
        survey.start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(readings.keys().size(), 2); // row 5's input could not be made
        QVERIFY2(std::abs(readings[0].lufs - readings[3].lufs - 12.0) < 0.3,
                 qPrintable(QStringLiteral("%1 %2").arg(readings[0].lufs).arg(readings[3].lufs)));
        QVERIFY(!readings[0].blocks.isEmpty() && std::abs(GatedLoudness(readings[0].blocks) - readings[0].lufs) < 0.1);

        LoudnessSurvey stopped(m_encoder, {{0, loud, options, {}}}, 1);
        QSignalSpy stoppedEnd(&stopped, &LoudnessSurvey::finished);
        connect(&stopped, &LoudnessSurvey::measured, this, [] { QFAIL("a stopped survey measured"); });
        stopped.start();
        stopped.cancel();
        QVERIFY(stoppedEnd.wait(10000));
    }
};

QTEST_GUILESS_MAIN(TestLoudnessSurvey)
#include "test_loudnesssurvey.moc"
