// The encoder's pure parts: the command line, and the info frame checked against the one LAME
// itself writes.

#include <QTest>

#include <lame/lame.h>

#include <cmath>
#include <memory>
#include <vector>

#include "encoder/commandline.h"
#include "encoder/infoframe.h"
#include "encoder/mp3encoder.h"

using namespace fastencc;

namespace {

std::vector<std::string> split(const QString &line)
{
    std::vector<std::string> args;
    for (const QString &part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        args.push_back(part.toStdString());
    return args;
}

// A second of a two-tone signal, so LAME has real work and real frames.
std::vector<float> tone(int rate, double frequency)
{
    std::vector<float> samples(static_cast<std::size_t>(rate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * frequency * static_cast<double>(i) / rate));
    return samples;
}

void row(const char *name, const char *line, bool valid, const char *input, const char *output, bool mono, int kbps)
{
    QTest::newRow(name) << QString::fromUtf8(line) << valid << QString::fromUtf8(input) << QString::fromUtf8(output) << mono
                        << kbps;
}

struct LameDeleter
{
    void operator()(lame_global_flags *f) const { lame_close(f); }
};

} // namespace

class TestFastenccUnits : public QObject
{
    Q_OBJECT

private slots:
    void parsesCommandLines_data();
    void parsesCommandLines();
    void crcIsTheStandardCrc16();
    void infoTagFitsExactlyWhereLameWritesOne();
    void ownInfoFrameAgreesWithLames_data();
    void ownInfoFrameAgreesWithLames();
};

void TestFastenccUnits::parsesCommandLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<int>("kbps");

    row("as the program passes them", "in.wav out.mp3 -dm -br 16000", true, "in.wav", "out.mp3", true, 16);
    row("stereo, no rate", "in.wav out.mp3", true, "in.wav", "out.mp3", false, 0);
    row("options first", "-br 96000 -dm a b", true, "a", "b", true, 96);
    row("dashed paths", "-a.wav -b.mp3 -br 64000", true, "-a.wav", "-b.mp3", false, 64);
    row("after --", "-br 32000 -- -dm -br", true, "-dm", "-br", false, 32);
    row("rate rounds to kbit/s", "a b -br 95600", true, "a", "b", false, 96);
    row("lowest rate", "a b -br 8000", true, "a", "b", false, 8);
    row("highest rate", "a b -br 320000", true, "a", "b", false, 320);
    row("below lowest", "a b -br 7999", false, "", "", false, 0);
    row("above highest", "a b -br 320001", false, "", "", false, 0);
    row("overflowing number", "a b -br 99999999999999999999999", false, "", "", false, 0);
    row("sign", "a b -br +96000", false, "", "", false, 0);
    row("trailing text", "a b -br 96000bps", false, "", "", false, 0);
    row("unknown option after paths", "a b -q", false, "", "", false, 0);
    row("unknown option before paths takes a path's place", "-q a b", false, "", "", false, 0);
    row("missing output", "a -dm", false, "", "", false, 0);
    row("one thread", "a b -dm -br 64000 -1t", true, "a", "b", true, 64);
}

void TestFastenccUnits::parsesCommandLines()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    const ParseResult r = parseCommandLine(split(line));
    QCOMPARE(r.status.ok(), valid);
    QCOMPARE(r.options.oneThread, line.contains(QStringLiteral("-1t")));
    if (!valid) {
        QCOMPARE(r.status.code, ExitCode::Usage);
        QVERIFY(!r.status.message.empty());
        QVERIFY(r.status.message.find('\n') == std::string::npos);
        return;
    }
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(bool, mono);
    QFETCH(int, kbps);
    QCOMPARE(QString::fromStdString(r.options.input), input);
    QCOMPARE(QString::fromStdString(r.options.output), output);
    QCOMPARE(r.options.mono, mono);
    QCOMPARE(r.options.bitrateKbps, kbps);
}

void TestFastenccUnits::crcIsTheStandardCrc16()
{
    const unsigned char check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    QCOMPARE(crc16(check), std::uint16_t{0xBB3D});
    // Computed in pieces, as the encoder does while the file is written.
    QCOMPARE(crc16(std::span(check + 4, 5), crc16(std::span(check, 4))), std::uint16_t{0xBB3D});
}

// LAME drops its info frame when a frame at the stream's bit rate cannot hold it; the encoder
// must predict that from the first frame header for every rate, bit rate and channel count.
void TestFastenccUnits::infoTagFitsExactlyWhereLameWritesOne()
{
    int checked = 0;
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        for (int channels : {1, 2}) {
            for (int kbps : {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 256, 320}) {
                std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
                lame_set_in_samplerate(lame.get(), rate);
                lame_set_num_channels(lame.get(), channels);
                lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
                lame_set_brate(lame.get(), kbps);
                lame_set_quality(lame.get(), 7);
                if (lame_init_params(lame.get()) < 0 || lame_get_brate(lame.get()) != kbps)
                    continue; // no such MP3 format
                const std::vector<float> pcm = tone(rate / 4, 440);
                std::vector<unsigned char> out(1 << 16);
                int n = lame_encode_buffer_ieee_float(lame.get(), pcm.data(), pcm.data(), static_cast<int>(pcm.size()),
                                                      out.data(), static_cast<int>(out.size()));
                QVERIFY(n >= 4);
                lame_encode_flush(lame.get(), out.data() + n, static_cast<int>(out.size()) - n);
                unsigned char tag[2880];
                const bool lameWrites = lame_get_lametag_frame(lame.get(), tag, sizeof tag) > 0;
                const std::uint32_t header = (std::uint32_t{out[0]} << 24) | (std::uint32_t{out[1]} << 16)
                    | (std::uint32_t{out[2]} << 8) | out[3];
                QVERIFY2(frameHoldsInfoTag(header) == lameWrites,
                         qPrintable(QStringLiteral("%1 Hz, %2 ch, %3 kbit/s").arg(rate).arg(channels).arg(kbps)));
                QVERIFY(infoFrameSize(header) > 0);
                ++checked;
            }
        }
    }
    QVERIFY(checked > 150);
}

void TestFastenccUnits::ownInfoFrameAgreesWithLames_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("kbps");
    QTest::newRow("MPEG-1 joint stereo") << 32000 << 2 << 96;
    QTest::newRow("MPEG-2 joint stereo") << 24000 << 2 << 64;
    QTest::newRow("MPEG-1 mono") << 44100 << 1 << 64;
    QTest::newRow("MPEG-2 mono") << 22050 << 1 << 64;
}

// Where LAME writes an info frame, the one the encoder builds for streams where LAME does not
// must say the same: counts, delay and padding, CRC of the music, encoder settings. Only the
// frame's bit rate (ours is the smallest that holds the tag), the seek table (LAME's is
// measured, ours linear) and, with them, the frame's own CRC may differ.
void TestFastenccUnits::ownInfoFrameAgreesWithLames()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, kbps);
    Mp3Encoder encoder;
    QVERIFY(encoder.open({rate, channels, kbps}).ok());
    const std::vector<float> left = tone(rate, 440);
    const std::vector<float> right = tone(rate, 1250);
    const float *planes[] = {left.data(), right.data()};
    std::vector<unsigned char> stream;
    for (int second = 0; second < 3; ++second) {
        std::span<const unsigned char> bytes;
        QVERIFY(encoder.encode(planes, static_cast<int>(left.size()), bytes).ok());
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    std::span<const unsigned char> tail;
    QVERIFY(encoder.flush(tail).ok());
    stream.insert(stream.end(), tail.begin(), tail.end());

    const std::vector<unsigned char> lames = encoder.infoFrame();
    const std::vector<unsigned char> ours = encoder.ownInfoFrame();
    QVERIFY(!lames.empty());
    QCOMPARE(ours.size(),
             infoFrameSize((std::uint32_t{stream[0]} << 24) | (std::uint32_t{stream[1]} << 16) | (std::uint32_t{stream[2]} << 8)
                           | stream[3]));
    QVERIFY(ours.size() <= lames.size());

    // Header: all but the bit-rate field agree.
    QCOMPARE(ours[0], lames[0]);
    QCOMPARE(ours[1], lames[1]);
    QCOMPARE(ours[2] & 0x0F, lames[2] & 0x0F);
    QCOMPARE(ours[3], lames[3]);
    const std::size_t xing = 4 + (channels == 1 ? (rate >= 32000 ? 17 : 9) : (rate >= 32000 ? 32 : 17));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&ours[xing]), 4), QByteArray("Info"));
    const std::size_t tocStart = xing + 16;
    const std::size_t crcAt = xing + 120 + 34;
    for (std::size_t i = 0; i < crcAt; ++i) {
        if (i == 2 || (i >= tocStart && i < tocStart + 100))
            continue;
        QVERIFY2(ours[i] == lames[i], qPrintable(QStringLiteral("byte %1: %2, LAME %3").arg(i).arg(ours[i]).arg(lames[i])));
    }
    for (std::size_t i = 0; i < 100; ++i)
        QVERIFY(std::abs(int(ours[tocStart + i]) - int(lames[tocStart + i])) <= 3);
    // The frame's own CRC covers everything before it.
    const std::uint16_t crc = crc16(std::span(ours.data(), crcAt));
    QCOMPARE(ours[crcAt], static_cast<unsigned char>(crc >> 8));
    QCOMPARE(ours[crcAt + 1], static_cast<unsigned char>(crc & 0xFF));
}

QTEST_GUILESS_MAIN(TestFastenccUnits)
#include "test_fastencc_units.moc"
