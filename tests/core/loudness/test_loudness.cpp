// Loudness of the run's outputs: fastencc's line read back, the ReplayGain texts, the levelling
// gain and its peak rule, the copy-or-encode decision, album grouping and the album texts
// written once an album's last row has ended.

#include <QMap>
#include <QTest>

#include <cmath>

#include "core/loudness/loudness.h"

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

    // An album is as loud as all its tracks' blocks gated as one programme: the blocks of a quiet
    // track under the album's relative gate drop out, as a meter of the tracks joined would do.
    // Without blocks (outputs of earlier versions) it is the mean power of its tracks over their
    // length; its peak is the loudest track's. Silent tracks add only their length.
    void albumLoudness()
    {
        const auto blocks = [](double lufs, quint32 count) {
            BlockHistogram h;
            h.bins[static_cast<int>(std::floor((lufs + 70.0) / BlockBinLu))] = count;
            return h;
        };
        BlockHistogram steady = blocks(-20.0, 100);
        QVERIFY(std::abs(GatedLoudness(steady) - (-20.0 + BlockBinLu / 2)) < 1e-6);
        QVERIFY(!std::isfinite(GatedLoudness({})));
        LoudnessReading loud = reading(-10, -1, 60);
        loud.blocks = blocks(-10.0, 600);
        LoudnessReading quiet = reading(-25, -9, 60);
        quiet.blocks = blocks(-25.0, 600); // 15 LU under: gated out of the album
        const LoudnessReading album = AlbumReading({loud, quiet});
        QVERIFY2(std::abs(album.lufs - (-10.0 + BlockBinLu / 2)) < 1e-6, qPrintable(QString::number(album.lufs)));
        QCOMPARE(album.blocks.bins.size(), 2);
        // Round trip of the text the line and the tag carry; a gain moves every block.
        QCOMPARE(BlockHistogram::parse(album.blocks.text())->bins, album.blocks.bins);
        QCOMPARE(ParseBlocksLine("loudness-blocks 500:3,601:2\n")->bins, (QMap<int, quint32>{{500, 3}, {601, 2}}));
        for (const char *bad : {"loudness-blocks 5", "loudness-blocks -1:2", "loudness-blocks 5:0", "loudness -14 -1 2"})
            QVERIFY2(!ParseBlocksLine(bad), bad);
        QCOMPARE(steady.shifted(3.0).bins.firstKey(), steady.bins.firstKey() + 30);
        QVERIFY(blocks(-69.0, 1).shifted(-2.0).isEmpty()); // under the absolute gate
        // A track's texts read back as its reading.
        LoudnessReading track = reading(-14.79, -0.5);
        track.blocks = steady;
        const auto kept = ReadTrackLoudness(TrackLoudnessTexts(track, 2.5));
        QVERIFY(kept && std::abs(kept->output.lufs + 14.79) < 1e-9 && std::abs(kept->output.truePeakDb + 0.5) < 1e-5);
        QCOMPARE(kept->output.blocks.bins, steady.bins);
        QCOMPARE(*kept->appliedGain, 2.5);
        QVERIFY(!ReadTrackLoudness({}));

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
        // Disc 1 and disc 2 in folders of their own are one album; another artist's or another
        // edition's (other number of discs) album of the same title is not.
        QTest::newRow("one title in two folders") << QList<AlbumMember>{{a, one}, {b, one}} << QList<int>{0, 0};
        const QString x = QStringLiteral("X"), y = QStringLiteral("Y");
        QTest::newRow("artists and disc totals")
            << QList<AlbumMember>{{a, one, false, x, 2}, {b, one, false, x, 2}, {a, one, false, y, 2}, {b, one, false, x, 1}}
            << QList<int>{0, 0, 2, 3};
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

        QVERIFY(ledger.rowEnded(0, QStringLiteral("/o/0.mp3"), reading(-14, -1)).isEmpty());
        QVERIFY(ledger.rowEnded(1, QStringLiteral("/o/1.mp3"), reading(-14, -1)).isEmpty());
        QVERIFY(ledger.rowEnded(3, {}, std::nullopt).isEmpty()); // failed
        const auto files = ledger.rowEnded(2, QStringLiteral("/o/2.mp3"), reading(-20, -6));
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0].target, QStringLiteral("/o/0.mp3"));
        QCOMPARE(files[0].row, 0);
        QCOMPARE(files[1].target, QStringLiteral("/o/2.mp3"));
        QCOMPARE(files[1].row, 2);
        const QString expected = GainText(ReplayGainOf(AlbumReading({reading(-14, -1), reading(-20, -6)}).lufs));
        for (const auto &file : files) {
            QVERIFY(file.texts.contains(qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), expected)));
            QVERIFY(file.texts.contains(qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), PeakText(-1))));
        }

        // Kept rows belong to their album: their readings (less the gain levelled into them) count
        // for the gain and the album texts, and their files get the texts; one without a reading
        // gets them too. An album of kept rows only is left alone.
        AlbumLedger withKept;
        withKept.plan({0, 0, 0, 3});
        withKept.setKept(0, QStringLiteral("/o/k0.mp3"), KeptLoudness{reading(-16, -3), 4.0});
        withKept.setKept(1, QStringLiteral("/o/k1.mp3"), std::nullopt);
        withKept.setKept(3, QStringLiteral("/o/k3.mp3"), KeptLoudness{reading(-16, -3), std::nullopt});
        withKept.setInput(2, reading(-20, -7));
        QCOMPARE(*withKept.levelGain(2), AlbumLevelGain({reading(-20, -7), reading(-20, -7)}));
        const auto keptFiles = withKept.rowEnded(2, QStringLiteral("/o/2.mp3"), reading(-16, -3));
        QCOMPARE(keptFiles.size(), 3);
        QCOMPARE(keptFiles[1].target, QStringLiteral("/o/k1.mp3"));
        QVERIFY(keptFiles[1].texts.contains(qMakePair(QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), QStringLiteral("-2.00 dB"))));
    }
};

QTEST_GUILESS_MAIN(TestLoudness)
#include "test_loudness.moc"
