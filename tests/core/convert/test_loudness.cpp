// Loudness of the run's outputs: fastencc's line read back, the ReplayGain texts, the levelling
// gain and its peak rule, the copy-or-encode decision, album grouping and the album texts
// written once an album's last row has ended.

#include <QTest>

#include <cmath>

#include "core/convert/loudness.h"

using namespace Sveltra;

namespace {
LoudnessReading reading(double lufs, double peak, double seconds = 180)
{
    return {lufs, peak, seconds};
}
} // namespace

class TestLoudness : public QObject
{
    Q_OBJECT

private slots:
    void readsTheEncodersLine()
    {
        const auto r = ParseLoudnessLine("loudness -14.45 -0.52 240.02\n");
        QVERIFY(r);
        QCOMPARE(r->lufs, -14.45);
        QCOMPARE(r->truePeakDb, -0.52);
        QCOMPARE(r->seconds, 240.02);
        const auto silent = ParseLoudnessLine("loudness -inf -inf 3.00");
        QVERIFY(silent && !silent->hasLoudness() && !std::isfinite(silent->truePeakDb));
        for (const char *bad : {"loudness", "loudness -14 -1", "loudness x -1 2", "loudness -14 -1 -2", "progress 100",
                                "loudness -14 -1 2 9", "loudness nan -1 2", "loudness -14,5 -1 2"})
            QVERIFY2(!ParseLoudnessLine(bad), bad);
    }

    void gainAndPeakTexts()
    {
        QCOMPARE(GainText(-3.214), QStringLiteral("-3.21 dB"));
        QCOMPARE(GainText(3.2), QStringLiteral("+3.20 dB"));
        QCOMPARE(GainText(-0.001), QStringLiteral("+0.00 dB")); // never "-0.00"
        QCOMPARE(GainText(12.345), QStringLiteral("+12.35 dB"));
        QCOMPARE(PeakText(0.0), QStringLiteral("1.000000"));
        QCOMPARE(PeakText(-6.0206), QStringLiteral("0.500000"));
        QCOMPARE(PeakText(0.5), QStringLiteral("1.059254")); // over full scale, said as it is
        QCOMPARE(PeakText(-HUGE_VAL), QStringLiteral("0.000000"));
        // ReplayGain 2.0 is relative to -18 LUFS.
        QCOMPARE(ReplayGainOf(-14.79), -3.21);
        const auto texts = TrackLoudnessTexts(reading(-14.79, -0.5), std::nullopt);
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0], qMakePair(QStringLiteral("REPLAYGAIN_TRACK_GAIN"), QStringLiteral("-3.21 dB")));
        QCOMPARE(texts[1], qMakePair(QStringLiteral("REPLAYGAIN_TRACK_PEAK"), QStringLiteral("0.944061")));
        QCOMPARE(TrackLoudnessTexts(reading(-20, -3), 3.2).last(),
                 qMakePair(QStringLiteral("SVELTRA_GAIN"), QStringLiteral("+3.20 dB")));
        // Silence has no gain to tell.
        QVERIFY(TrackLoudnessTexts(reading(-HUGE_VAL, -HUGE_VAL), std::nullopt).isEmpty());
        QCOMPARE(LevelledNote(-2.5), QStringLiteral("音量均衡 -2.50 dB"));
    }

    // An album is as loud as the mean power of its tracks over their length; its peak is the
    // loudest track's. Silent tracks add only their length.
    void albumLoudness()
    {
        QCOMPARE(AlbumReading({reading(-20, -5), reading(-20, -3)}).lufs, -20.0);
        const LoudnessReading mixed = AlbumReading({reading(-10, -1, 60), reading(-20, -9, 60)});
        QVERIFY(std::abs(mixed.lufs - 10 * std::log10((0.1 + 0.01) / 2)) < 1e-9);
        QCOMPARE(mixed.truePeakDb, -1.0);
        QCOMPARE(mixed.seconds, 120.0);
        const LoudnessReading longer = AlbumReading({reading(-10, -1, 300), reading(-20, -9, 30)});
        QVERIFY(longer.lufs > -10.5);
        QCOMPARE(AlbumReading({reading(-12, -1, 100), reading(-HUGE_VAL, -HUGE_VAL, 100)}).lufs, -12.0);
        QVERIFY(!AlbumReading({}).hasLoudness());
        QVERIFY(!AlbumReading({reading(-HUGE_VAL, -HUGE_VAL)}).hasLoudness());
    }

    // Levelling aims at -16 LUFS, but no further than keeps the true peak 1 dB under -1 dBTP
    // (MP3 moves it by about that much); a gain may be a cut for the peak's sake alone.
    void levelGainAndThePeakRule_data()
    {
        QTest::addColumn<double>("lufs");
        QTest::addColumn<double>("peak");
        QTest::addColumn<double>("gain");
        QTest::newRow("quiet, room to rise") << -30.0 << -20.0 << 14.0;
        QTest::newRow("quiet, held by its peak") << -30.0 << -6.0 << 4.0;
        QTest::newRow("just at the ceiling") << -23.0 << -9.0 << 7.0;
        QTest::newRow("loud, lowered") << -9.0 << 0.5 << -7.0;
        QTest::newRow("loud, peak decides the cut") << -15.0 << 0.0 << -2.0;
        QTest::newRow("at the target") << -16.0 << -3.0 << 0.0;
        QTest::newRow("silence") << -HUGE_VAL << -HUGE_VAL << 0.0;
        QTest::newRow("very quiet, no peak found") << -70.0 << -HUGE_VAL << 40.0;
        QTest::newRow("very loud") << 30.0 << -100.0 << -40.0;
    }

    void levelGainAndThePeakRule()
    {
        QFETCH(double, lufs);
        QFETCH(double, peak);
        QFETCH(double, gain);
        const double got = LevelGain(reading(lufs, peak));
        QVERIFY2(std::abs(got - gain) < 1e-9, qPrintable(QString::number(got)));
        if (std::isfinite(peak))
            QVERIFY(peak + got <= TruePeakCeilingDb - EncoderPeakDriftDb + 1e-9);
    }

    // One gain for an album: its own loudness decides, and its loudest track's peak limits it,
    // so the steps between tracks stay as they were.
    void albumGainKeepsTheSteps()
    {
        const QList<LoudnessReading> album{reading(-21, -10), reading(-22, -9), reading(-23, -12)};
        const double gain = AlbumLevelGain(album);
        QVERIFY(std::abs(AlbumReading(album).lufs + gain - LevelTargetLufs) < 1e-9);
        const QList<LoudnessReading> peaky{reading(-21, -10), reading(-22, -3), reading(-23, -12)};
        QCOMPARE(AlbumLevelGain(peaky), 1.0); // -3 dBTP may rise to -2 only
    }

    // An output whose true peak still passed -1 dBTP is encoded again with the excess taken off
    // the gain, and a little more; one within the ceiling stands.
    void peakJudgedOnTheOutput()
    {
        QVERIFY(!PeakRetryGain(5.0, reading(-16, -1.0)));
        QVERIFY(!PeakRetryGain(5.0, reading(-16, -HUGE_VAL)));
        QVERIFY(std::abs(*PeakRetryGain(5.0, reading(-16, -0.2)) - 3.9) < 1e-9);
        QVERIFY(std::abs(*PeakRetryGain(-3.0, reading(-16, 1.5)) - -5.8) < 1e-9);
        QCOMPARE(*PeakRetryGain(-39.0, reading(-16, 10)), -40.0);
        AlbumLedger ledger;
        ledger.plan({0, 0});
        ledger.setInput(0, reading(-20, -10));
        ledger.setInput(1, reading(-20, -10));
        ledger.lowerGain(1, 2.5);
        QCOMPARE(*ledger.levelGain(0), 4.0);
        QCOMPARE(*ledger.levelGain(1), 2.5);
    }

    void copiedOnlyWhenTheGainIsSmall()
    {
        QVERIFY(!EncodeForGain(0.0));
        QVERIFY(!EncodeForGain(1.0));
        QVERIFY(!EncodeForGain(-1.0));
        QVERIFY(EncodeForGain(1.01));
        QVERIFY(EncodeForGain(-1.5));
    }

    void albumGrouping_data()
    {
        QTest::addColumn<QList<AlbumMember>>("rows");
        QTest::addColumn<QList<int>>("groups");
        const QString a = QStringLiteral("/music/a/"), b = QStringLiteral("/music/b/");
        const QString cd = QStringLiteral("/media/cdrom/");
        const QString one = QStringLiteral("One"), two = QStringLiteral("Two");
        QTest::newRow("a folder of one album") << QList<AlbumMember>{{a, one}, {a, one}, {a, one}} << QList<int>{0, 0, 0};
        QTest::newRow("singles without album") << QList<AlbumMember>{{a, {}}, {a, QStringLiteral("  ")}} << QList<int>{-1, -1};
        QTest::newRow("two albums in one folder")
            << QList<AlbumMember>{{a, one}, {a, two}, {a, one}, {a, two}} << QList<int>{0, 1, 0, 1};
        QTest::newRow("one title in two folders") << QList<AlbumMember>{{a, one}, {b, one}} << QList<int>{0, 1};
        QTest::newRow("titles trimmed, letter case counts")
            << QList<AlbumMember>{{a, one}, {a, QStringLiteral(" One ")}, {a, QStringLiteral("one")}} << QList<int>{0, 0, 2};
        QTest::newRow("a CD is one album whatever its titles")
            << QList<AlbumMember>{{cd, {}, true}, {a, one}, {cd, two, true}} << QList<int>{0, 1, 0};
        QTest::newRow("a CD and a folder of the same name") << QList<AlbumMember>{{cd, one, true}, {cd, one}} << QList<int>{0, 1};
    }

    void albumGrouping()
    {
        QFETCH(QList<AlbumMember>, rows);
        QFETCH(QList<int>, groups);
        QCOMPARE(AlbumGroups(rows), groups);
    }

    // The album's texts come once its last row has ended, for the files of the rows that made
    // one; the gain for a row is its album's, once every track of it has been measured.
    void albumTextsWaitForTheLastRow()
    {
        AlbumLedger ledger;
        ledger.plan({0, -1, 0, 0});
        ledger.setInput(0, reading(-20, -10));
        QVERIFY(!ledger.levelGain(0));
        ledger.setInput(2, reading(-22, -10));
        ledger.setInput(3, reading(-24, -10));
        ledger.setInput(1, reading(-30, -20));
        QCOMPARE(*ledger.levelGain(1), 14.0);
        QCOMPARE(*ledger.levelGain(0), *ledger.levelGain(3));
        QVERIFY(!ledger.levelGain(7));

        MediaTag tag;
        tag.Title = QStringLiteral("t");
        QVERIFY(ledger.rowEnded(0, QStringLiteral("/o/0.mp3"), tag, reading(-14, -1)).isEmpty());
        QVERIFY(ledger.rowEnded(1, QStringLiteral("/o/1.mp3"), tag, reading(-14, -1)).isEmpty());
        QVERIFY(ledger.rowEnded(3, {}, {}, std::nullopt).isEmpty()); // failed
        const auto files = ledger.rowEnded(2, QStringLiteral("/o/2.mp3"), tag, reading(-20, -6));
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0].target, QStringLiteral("/o/0.mp3"));
        QCOMPARE(files[0].row, 0);
        QCOMPARE(files[1].target, QStringLiteral("/o/2.mp3"));
        QCOMPARE(files[1].row, 2);
        const QString expected = GainText(ReplayGainOf(AlbumReading({reading(-14, -1), reading(-20, -6)}).lufs));
        for (const auto &file : files) {
            QCOMPARE(file.tag.Title, QStringLiteral("t"));
            QVERIFY(file.tag.UserTexts.contains(qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), expected)));
            QVERIFY(file.tag.UserTexts.contains(qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), PeakText(-1))));
        }
    }
};

QTEST_GUILESS_MAIN(TestLoudness)
#include "test_loudness.moc"
