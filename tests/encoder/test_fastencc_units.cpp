// The encoder's pure parts: the command line, the info frame checked against the one LAME
// itself writes, the walk over an MP3 file's frames and the decision to copy them, the
// decoder's promise of finite samples within full scale through the resampler, and a file
// encoded in pieces on several threads and joined, checked by FFmpeg's decoder.

#include <QTest>

#include <ebur128.h>
#include <lame/lame.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "encoder/audiodecoder.h"
#include "encoder/commandline.h"
#include "encoder/encodejob.h"
#include "encoder/infoframe.h"
#include "encoder/loudness.h"
#include "encoder/mp3copy.h"
#include "encoder/mp3encoder.h"
#include "encoder/outputfile.h"
#include "encoder/pieceencoder.h"

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

using Bytes = std::vector<unsigned char>;

void append(Bytes &to, const Bytes &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// One MPEG-1 layer III frame at 44.1 kHz with an empty payload (a byte that differs per frame),
// stereo or mono, at the bit-rate index given (5: 64 kbit/s, 208 bytes).
Bytes frame(int bitrateIndex, bool mono = false, unsigned char fill = 0x55, int rateIndex = 0)
{
    const std::uint32_t word = 0xFFFB0000u | (static_cast<std::uint32_t>(bitrateIndex) << 12)
        | (static_cast<std::uint32_t>(rateIndex) << 10) | (mono ? 0xC0u : 0u);
    const Mp3Header h = parseMp3Header(word);
    Bytes f(h.valid ? h.size : 300, fill); // free format (index 0): a length of its own
    f[0] = static_cast<unsigned char>(word >> 24);
    f[1] = static_cast<unsigned char>(word >> 16);
    f[2] = static_cast<unsigned char>(word >> 8);
    f[3] = static_cast<unsigned char>(word);
    return f;
}

Bytes frames(int count, int bitrateIndex, bool mono = false)
{
    Bytes all;
    for (int i = 0; i < count; ++i)
        append(all, frame(bitrateIndex, mono, static_cast<unsigned char>(i)));
    return all;
}

// An ID3v2.4 tag of size bytes of body, then zero padding the tag does not count.
Bytes id3v2(std::size_t body, std::size_t strayZeros = 0)
{
    Bytes tag{'I', 'D', '3', 4, 0, 0};
    tag.push_back(static_cast<unsigned char>((body >> 21) & 0x7F));
    tag.push_back(static_cast<unsigned char>((body >> 14) & 0x7F));
    tag.push_back(static_cast<unsigned char>((body >> 7) & 0x7F));
    tag.push_back(static_cast<unsigned char>(body & 0x7F));
    tag.resize(10 + body + strayZeros, 0);
    return tag;
}

Bytes id3v1()
{
    Bytes tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    return tag;
}

// A Lyrics3v2 tag: LYRICSBEGIN, an IND and a LYR field, its size in six digits, LYRICS200.
// sizeDelta miscounts the size, as a damaged tag would.
Bytes lyrics3v2(int sizeDelta = 0)
{
    const std::string body = "LYRICSBEGININD0000210LYR00025[00:01]Some words we sing";
    char size[8];
    std::snprintf(size, sizeof size, "%06d", int(body.size()) + sizeDelta);
    const std::string tag = body + size + "LYRICS200";
    return Bytes(tag.begin(), tag.end());
}

// An APE tag with one item and a footer but no header (version 1000: APEv1, 2000: APEv2).
Bytes apeWithoutHeader(int version)
{
    Bytes tag{5, 0, 0, 0, 0, 0, 0, 0, 'T', 'i', 't', 'l', 'e', 0, 'W', 'o', 'r', 'd', 's'};
    Bytes footer(32, 0);
    std::memcpy(footer.data(), "APETAGEX", 8);
    footer[8] = static_cast<unsigned char>(version & 0xFF);
    footer[9] = static_cast<unsigned char>(version >> 8);
    footer[12] = static_cast<unsigned char>(tag.size() + 32);
    footer[16] = 1; // one item
    append(tag, footer);
    return tag;
}

// An info frame as LAME writes one: a 64 kbit/s frame, side information empty, "Info" and the
// count of one part of 10 frames.
Bytes emptyInfoFrame()
{
    Bytes info = frame(5);
    std::fill(info.begin() + 4, info.end(), 0);
    std::memcpy(&info[36], "Info\0\0\0\x03\0\0\0\x0a", 12);
    return info;
}

// A float WAV file of interleaved samples.
bool writeFloatWav(const QString &path, const std::vector<float> &samples, int channels, int rate)
{
    const auto dataBytes = static_cast<quint32>(samples.size() * sizeof(float));
    QByteArray wav;
    const auto u32 = [&](quint32 v) { wav.append(reinterpret_cast<const char *>(&v), 4); };
    const auto u16 = [&](quint16 v) { wav.append(reinterpret_cast<const char *>(&v), 2); };
    wav.append("RIFF");
    u32(36 + dataBytes);
    wav.append("WAVEfmt ");
    u32(16);
    u16(3); // IEEE float
    u16(static_cast<quint16>(channels));
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate * channels * 4));
    u16(static_cast<quint16>(channels * 4));
    u16(32);
    wav.append("data");
    u32(dataBytes);
    wav.append(reinterpret_cast<const char *>(samples.data()), static_cast<qsizetype>(dataBytes));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

// Checks every sample the decoder hands on.
class SampleChecker final : public DecodeListener
{
public:
    explicit SampleChecker(int channels)
        : m_channels(channels)
    {
    }
    Status samples(const float *const *planes, int count) override
    {
        for (int c = 0; c < m_channels; ++c) {
            for (int i = 0; i < count; ++i) {
                const float v = planes[c][i];
                if (!std::isfinite(v) || v < -1.0f || v > 1.0f)
                    ++bad;
                peak = std::max(peak, std::abs(v));
            }
        }
        frames += count;
        return Status::success();
    }
    void progress(int) override { }

    long long frames = 0;
    long long bad = 0;
    float peak = 0;

private:
    int m_channels;
};

// Something like music for the pieces: two gliding tones, noise, and a click every 0.7 s that
// makes LAME switch to short windows. Interleaved, on the 16-bit grid (x / 32768), so that
// every path hands LAME the very same numbers.
std::vector<float> musicLike(int rate, int channels, double seconds)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    unsigned noise = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1103515245u + 12345u;
            double v = 0.3 * std::sin(2 * M_PI * (220 + 40 * t + 30 * c) * t)
                + 0.2 * std::sin(2 * M_PI * 1250 * t * (1 + 0.1 * std::sin(t))) + 0.05 * ((noise >> 16) / 32768.0 - 1.0);
            if (std::fmod(t, 0.7) < 0.002)
                v += 0.4 * ((noise >> 20) & 1 ? 1 : -1);
            samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = static_cast<float>(
                std::lround(std::clamp(v, -1.0, 1.0) * 32767) / 32768.0);
        }
    }
    return samples;
}

// musicLike() at the rate LAME picks for the profile, as a WAV in dir; empty on failure.
QString writeMusic(const QTemporaryDir &dir, const Mp3Format &format, double seconds)
{
    const QString wav = dir.filePath(QStringLiteral("music.wav"));
    if (format.sampleRate <= 0
        || !writeFloatWav(wav, musicLike(format.sampleRate, format.channels, seconds), format.channels, format.sampleRate))
        return {};
    return wav;
}

// Encodes wav in pieces as the program does on several cores.
Status encodeWavInPieces(const QString &wav, const QString &mp3, const Mp3Format &format, const PieceLayout &layout)
{
    AudioDecoder decoder;
    if (Status s = decoder.open(wav.toStdString()); !s.ok())
        return s;
    OutputFile file(mp3.toStdString());
    if (Status s = file.create(); !s.ok())
        return s;
    if (Status s = encodeInPieces(
            decoder, format, file, 2, [](int) {}, layout);
        !s.ok())
        return s;
    return file.commit();
}

// A layout that makes one piece of an input shorter than a minute: one encoder over all of it.
PieceLayout onePiece()
{
    PieceLayout layout;
    layout.pieceFrames = 3000;
    return layout;
}

// Pieces of about a second, so the tests' short inputs have many joins.
PieceLayout secondPieces(const Mp3Format &format)
{
    PieceLayout layout;
    layout.pieceFrames = format.sampleRate / (format.sampleRate >= 32000 ? 1152 : 576);
    return layout;
}

// Encodes wav with one LAME encoder that takes the decoder's floats as they come, into mp3.
Status encodeWavInOne(const QString &wav, const QString &mp3, const Mp3Format &format)
{
    struct Direct final : DecodeListener
    {
        explicit Direct(OutputFile &to)
            : file(to)
        {
        }
        Status samples(const float *const *planes, int frames) override
        {
            std::span<const unsigned char> bytes;
            Status s = encoder.encode(planes, frames, bytes);
            return s.ok() ? file.write(bytes) : s;
        }
        void progress(int) override { }
        Mp3Encoder encoder;
        OutputFile &file;
    };
    AudioDecoder decoder;
    OutputFile file(mp3.toStdString());
    Direct direct(file);
    std::span<const unsigned char> tail;
    if (Status s = decoder.open(wav.toStdString()); !s.ok())
        return s;
    if (Status s = file.create(); !s.ok())
        return s;
    if (Status s = direct.encoder.open(format); !s.ok())
        return s;
    if (Status s = decoder.run(format.sampleRate, format.channels, direct); !s.ok())
        return s;
    if (Status s = direct.encoder.flush(tail); !s.ok())
        return s;
    if (Status s = file.write(tail); !s.ok())
        return s;
    if (Status s = file.overwriteStart(direct.encoder.infoFrame()); !s.ok())
        return s;
    return file.commit();
}

// What FFmpeg's decoder makes of an MP3 file, as interleaved floats; any complaint of the
// decoder (a frame borrowing bytes that are not there, say) is a failure.
std::vector<float> decodeStrictly(const QString &mp3, int channels)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), mp3, QStringLiteral("-ac"),
                  QString::number(channels), QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return {};
    const QByteArray complaints = ffmpeg.readAllStandardError();
    if (!complaints.isEmpty()) {
        qWarning("%s", complaints.constData());
        return {};
    }
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    std::vector<float> samples(static_cast<std::size_t>(pcm.size()) / sizeof(float));
    std::memcpy(samples.data(), pcm.constData(), samples.size() * sizeof(float));
    return samples;
}

// Samples a decoder puts out before the input's first one when no info frame says to drop them:
// LAME's encoder delay and the decoder's own.
constexpr std::size_t kDelay = 576 + 529;

// Signal to noise of a decoded file against its source, in dB.
double snr(const std::vector<float> &source, const std::vector<float> &decoded)
{
    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < std::min(source.size(), decoded.size()); ++i) {
        signal += double(source[i]) * source[i];
        noise += (double(source[i]) - decoded[i]) * (double(source[i]) - decoded[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-12));
}

// The audio frames of an MP3 file that starts with an info frame.
QByteArray audioFrames(const QString &mp3)
{
    QFile f(mp3);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    if (all.size() < 4)
        return {};
    const auto *p = reinterpret_cast<const unsigned char *>(all.constData());
    return all.mid(static_cast<qsizetype>(parseMp3Header(bigEndian32(p)).size));
}

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
    void walksMp3Frames_data();
    void walksMp3Frames();
    void keepsOnlyATruthfulInfoFrame();
    void copiesAtOrBelowTheProfilesBitRate();
    void resamplerGivesFiniteSamplesWithinFullScale_data();
    void resamplerGivesFiniteSamplesWithinFullScale();
    void piecesJoinIntoOneStreamAsGoodAsOneEncoders_data();
    void piecesJoinIntoOneStreamAsGoodAsOneEncoders();
    void whereNoJoinFitsTheEncoderGoesOnThroughTheNextPiece();
    void deepSourcesKeepTheirQuietestDetailInPieces();
    void outputAppearsWholeOrNotAtAll_data();
    void outputAppearsWholeOrNotAtAll();
    void measuresLoudnessAsLibebur128Does_data();
    void measuresLoudnessAsLibebur128Does();
    void measuresTruePeakBetweenSamples();
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
                const std::uint32_t header = bigEndian32(out.data());
                QVERIFY2(frameHoldsInfoTag(header) == lameWrites,
                         qPrintable(QStringLiteral("%1 Hz, %2 ch, %3 kbit/s").arg(rate).arg(channels).arg(kbps)));
                // Where LAME writes none, the info frame is a frame of a higher bit rate.
                if (lameWrites)
                    QCOMPARE(infoFrameSize(header), frameSizeOf(header & ~0x0200u));
                else
                    QVERIFY(infoFrameSize(header) > frameSizeOf(header | 0x0200u));
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
    QTest::newRow("MPEG-1 joint stereo, 44.1 kHz (padded frames)") << 44100 << 2 << 128;
    QTest::newRow("MPEG-2 joint stereo") << 24000 << 2 << 64;
    QTest::newRow("MPEG-1 mono") << 44100 << 1 << 64;
    QTest::newRow("MPEG-2 mono") << 22050 << 1 << 64;
}

// The info frame built for a stream joined from pieces must say what LAME's own says of one
// encoder's stream: the same frame (header and bit rate included, so players that read only the
// first frame get the bit rate right), counts, delay and padding, CRC of the music, encoder
// settings. Only the seek table (LAME's is measured, ours linear) and, with it, the frame's own
// CRC may differ.
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
    QCOMPARE(ours.size(), infoFrameSize(bigEndian32(stream.data())));
    QCOMPARE(ours.size(), lames.size());
    QCOMPARE(parseMp3Header(bigEndian32(ours.data())).bitrateKbps, kbps);
    const std::size_t xing = 4 + (channels == 1 ? (rate >= 32000 ? 17 : 9) : (rate >= 32000 ? 32 : 17));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&ours[xing]), 4), QByteArray("Info"));
    const std::size_t tocStart = xing + 16;
    const std::size_t crcAt = xing + 120 + 34;
    for (std::size_t i = 0; i < crcAt; ++i) {
        if (i >= tocStart && i < tocStart + 100)
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

void TestFastenccUnits::walksMp3Frames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("copyable");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("audioStart");
    QTest::addColumn<int>("parts");
    const auto bytes = [](const Bytes &b) { return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size())); };

    QTest::newRow("bare frames") << bytes(frames(20, 5)) << true << 20 << 0 << 1;
    Bytes tagged = id3v2(300, 17);
    append(tagged, frames(20, 5));
    append(tagged, id3v1());
    QTest::newRow("ID3v2 with stray padding, ID3v1") << bytes(tagged) << true << 20 << 327 << 1;
    // Tags at the end: APE tags without a header are known by walking their items to the footer.
    Bytes ape = frames(20, 5);
    append(ape, apeWithoutHeader(2000));
    append(ape, id3v1());
    QTest::newRow("APEv2 tag without header, ID3v1") << bytes(ape) << true << 20 << 0 << 1;
    Bytes apeV1 = frames(20, 5);
    append(apeV1, apeWithoutHeader(1000));
    QTest::newRow("APEv1 tag") << bytes(apeV1) << true << 20 << 0 << 1;
    Bytes lyrics = frames(20, 5);
    append(lyrics, lyrics3v2());
    append(lyrics, id3v1());
    QTest::newRow("Lyrics3v2 and ID3v1") << bytes(lyrics) << true << 20 << 0 << 1;
    Bytes lyricsV1 = frames(20, 5);
    const std::string v1 = "LYRICSBEGINSome words we singLYRICSEND";
    lyricsV1.insert(lyricsV1.end(), v1.begin(), v1.end());
    append(lyricsV1, id3v1());
    QTest::newRow("Lyrics3v1 and ID3v1") << bytes(lyricsV1) << true << 20 << 0 << 1;
    Bytes tagThenText = frames(20, 5);
    append(tagThenText, id3v1());
    tagThenText.insert(tagThenText.end(), 500, 0x42);
    QTest::newRow("ID3v1, then bytes that are no tag") << bytes(tagThenText) << false << 0 << 0 << 0;
    Bytes zeros = frames(20, 5);
    zeros.resize(zeros.size() + 3000, 0);
    QTest::newRow("zero bytes after the frames") << bytes(zeros) << true << 20 << 0 << 1;
    Bytes cut = frames(20, 5);
    cut.resize(cut.size() - 100);
    QTest::newRow("last frame cut short") << bytes(cut) << true << 19 << 0 << 1;
    Bytes one = frame(5);
    QTest::newRow("a single frame") << bytes(one) << true << 1 << 0 << 1;
    Bytes junk = frames(10, 5);
    junk.insert(junk.end(), 37, 0x42);
    append(junk, frames(10, 5));
    QTest::newRow("junk between frames") << bytes(junk) << false << 0 << 0 << 0;
    Bytes rates = frames(10, 5);
    append(rates, frame(5, false, 1, 1)); // 48 kHz
    append(rates, frames(10, 5));
    QTest::newRow("another sample rate midway") << bytes(rates) << false << 0 << 0 << 0;
    Bytes freeFormat = frame(0);
    append(freeFormat, frame(0));
    QTest::newRow("free format") << bytes(freeFormat) << false << 0 << 0 << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << 0;
    QTest::newRow("only a tag") << bytes(id3v2(100)) << false << 0 << 0 << 0;
    QTest::newRow("text") << QByteArray(5000, 'x') << false << 0 << 0 << 0;

    // Files joined end to end: the tags between them are left out, and so is the info frame a
    // part starts with (the first part's too, as its counts are of that part alone).
    Bytes joined = id3v2(300);
    append(joined, frames(10, 5));
    append(joined, id3v2(200, 5));
    append(joined, frames(10, 5));
    append(joined, id3v1());
    QTest::newRow("joined, ID3v2 tags between") << bytes(joined) << true << 20 << 310 << 2;
    Bytes joinedV1 = frames(10, 5);
    append(joinedV1, id3v1());
    append(joinedV1, frames(5, 5));
    append(joinedV1, id3v2(20));
    append(joinedV1, id3v1());
    append(joinedV1, frames(5, 5));
    QTest::newRow("joined, ID3v1 and both tags between") << bytes(joinedV1) << true << 20 << 0 << 3;
    Bytes joinedApe = frames(10, 5);
    // An APEv2 tag with its header (flags: header present, this is the header) and footer.
    const char apeHeader[] = "APETAGEX\xd0\x07\0\0\x28\0\0\0\x01\0\0\0\0\0\0\xa0\0\0\0\0\0\0\0\0";
    joinedApe.insert(joinedApe.end(), apeHeader, apeHeader + 32);
    joinedApe.resize(joinedApe.size() + 8, 0x41);
    joinedApe.insert(joinedApe.end(), apeHeader, apeHeader + 32);
    joinedApe[joinedApe.size() - 9] = 0x80; // the footer's flags: not the header
    append(joinedApe, id3v1());
    append(joinedApe, frames(10, 5));
    QTest::newRow("joined, an APE tag and ID3v1 between") << bytes(joinedApe) << true << 20 << 0 << 2;
    Bytes info = frame(5);
    std::memcpy(&info[36], "Info\0\0\0\x03\0\0\0\x0a", 12); // counts of one part: 10 frames
    Bytes withInfo = info;
    append(withInfo, frames(10, 5));
    append(withInfo, id3v2(40));
    append(withInfo, info);
    append(withInfo, frames(10, 5));
    QTest::newRow("joined, each part with its info frame") << bytes(withInfo) << true << 20 << 208 << 2;
    // Parts that each end in Lyrics3v2 and ID3v1 (the scan once took the first Lyrics3 tag for
    // the end of the file), or in an APE tag without a header.
    Bytes joinedLyrics = frames(10, 5);
    for (int part = 0; part < 2; ++part) {
        append(joinedLyrics, lyrics3v2());
        append(joinedLyrics, id3v1());
        append(joinedLyrics, frames(5, 5));
    }
    append(joinedLyrics, lyrics3v2());
    append(joinedLyrics, id3v1());
    QTest::newRow("joined, Lyrics3v2 and ID3v1 after every part") << bytes(joinedLyrics) << true << 20 << 0 << 3;
    Bytes badLyrics = frames(10, 5);
    append(badLyrics, lyrics3v2(7));
    append(badLyrics, id3v1());
    append(badLyrics, frames(10, 5));
    QTest::newRow("joined, a Lyrics3v2 tag that miscounts itself") << bytes(badLyrics) << false << 0 << 0 << 0;
    Bytes joinedApeV1 = frames(10, 5);
    append(joinedApeV1, apeWithoutHeader(1000));
    append(joinedApeV1, frames(10, 5));
    QTest::newRow("joined, an APEv1 tag between") << bytes(joinedApeV1) << true << 20 << 0 << 2;
    // Joined without tags between: the second part's info frame is no audio.
    Bytes bare = frames(10, 5);
    append(bare, emptyInfoFrame());
    append(bare, frames(10, 5));
    QTest::newRow("joined without tags, the second part's info frame") << bytes(bare) << true << 20 << 0 << 2;
    Bytes tagThenJunk = frames(10, 5);
    append(tagThenJunk, id3v2(40));
    tagThenJunk.insert(tagThenJunk.end(), 3000, 0x42);
    QTest::newRow("joined, junk after the tag") << bytes(tagThenJunk) << false << 0 << 0 << 0;
    Bytes otherRate = frames(10, 5);
    append(otherRate, id3v2(40));
    for (int i = 0; i < 10; ++i)
        append(otherRate, frame(5, false, 1, 1)); // 48 kHz
    QTest::newRow("joined, a part at another sample rate") << bytes(otherRate) << false << 0 << 0 << 0;
}

// The walk counts the audio frames between the tags, drops a frame cut short, and refuses a
// stream damaged inside or one that changes its format, also from one joined part to the next.
void TestFastenccUnits::walksMp3Frames()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, copyable);
    QFETCH(int, frames);
    QFETCH(int, audioStart);
    QFETCH(int, parts);
    const Mp3Scan scan = scanMp3(std::span(reinterpret_cast<const unsigned char *>(file.constData()), std::size_t(file.size())));
    QCOMPARE(scan.copyable, copyable);
    if (!copyable) {
        QVERIFY(!scan.why.empty());
        return;
    }
    QCOMPARE(scan.frames, std::uint64_t(frames));
    QCOMPARE(scan.audioStart, std::uint64_t(audioStart));
    QCOMPARE(scan.parts.size(), std::size_t(parts));
    QCOMPARE(scan.parts.front().start, scan.audioStart);
    QCOMPARE(scan.parts.back().end, scan.audioEnd);
    std::uint64_t audioBytes = 0;
    for (const ByteRange &part : scan.parts)
        audioBytes += part.size();
    QCOMPARE(audioBytes, std::uint64_t(frames) * 208);
    QCOMPARE(scan.averageBitrate(), 64000.0);
    QCOMPARE(scan.sampleRate, 44100);
    QVERIFY(!scan.allMono);
    QVERIFY(scan.infoFrame.empty());
}

// LAME's own info frame is kept while it tells the truth about the frames that follow; once the
// file has been cut it is left out rather than copied with wrong counts.
void TestFastenccUnits::keepsOnlyATruthfulInfoFrame()
{
    std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
    lame_set_in_samplerate(lame.get(), 44100);
    lame_set_out_samplerate(lame.get(), 44100);
    lame_set_num_channels(lame.get(), 1);
    lame_set_mode(lame.get(), MONO);
    lame_set_brate(lame.get(), 64);
    lame_set_bWriteVbrTag(lame.get(), 1);
    QVERIFY(lame_init_params(lame.get()) >= 0);
    const std::vector<float> pcm = tone(44100, 440);
    Bytes mp3(pcm.size() * 2 + 7200);
    int n = lame_encode_buffer_ieee_float(lame.get(), pcm.data(), pcm.data(), int(pcm.size()), mp3.data(), int(mp3.size()));
    QVERIFY(n >= 0);
    const int m = lame_encode_flush(lame.get(), mp3.data() + n, int(mp3.size()) - n);
    QVERIFY(m >= 0);
    mp3.resize(std::size_t(n + m));
    Bytes info(2880);
    info.resize(lame_get_lametag_frame(lame.get(), info.data(), info.size()));
    QVERIFY(!info.empty());
    std::copy(info.begin(), info.end(), mp3.begin());

    Bytes file = id3v2(50);
    append(file, mp3);
    append(file, id3v1());
    const Mp3Scan whole = scanMp3(file);
    QVERIFY(whole.copyable);
    QCOMPARE(whole.infoFrame, info);
    QCOMPARE(whole.audioStart, 60 + info.size());
    QCOMPARE(whole.frames, std::uint64_t(lame_get_frameNum(lame.get())));
    QVERIFY(whole.allMono);

    Bytes cut(mp3.begin(), mp3.end() - 2000);
    const Mp3Scan shorter = scanMp3(cut);
    QVERIFY(shorter.copyable);
    QVERIFY(shorter.infoFrame.empty());
    QCOMPARE(shorter.audioStart, info.size()); // the info frame is still no audio
    QVERIFY(shorter.frames < whole.frames);

    // The same counts with one audio byte changed: the music CRC no longer holds.
    Bytes edited = mp3;
    edited[info.size() + 100] ^= 0x10;
    QVERIFY(scanMp3(edited).infoFrame.empty());
}

// The boundary: a source at exactly the output's bit rate is copied, one a step above is not;
// a variable bit rate counts by its average; a stereo source is encoded for a mono output.
void TestFastenccUnits::copiesAtOrBelowTheProfilesBitRate()
{
    const Mp3Scan at64 = scanMp3(frames(30, 5));
    QVERIFY(copyFits(at64, 64, false));
    QVERIFY(copyFits(at64, 96, false));
    QVERIFY(!copyFits(at64, 63, false));
    QVERIFY(!copyFits(at64, 56, false));
    QVERIFY(!copyFits(at64, 96, true)); // stereo: must be downmixed
    QVERIFY(!copyFits(at64, 0, false));

    const Mp3Scan mono = scanMp3(frames(30, 5, true));
    QVERIFY(copyFits(mono, 64, true));
    QVERIFY(copyFits(mono, 64, false));

    // 56 and 80 kbit/s alternating: 68 on average, though half the frames are above 64.
    Bytes vbr;
    for (int i = 0; i < 20; ++i)
        append(vbr, frame(i % 2 ? 6 : 4));
    const Mp3Scan variable = scanMp3(vbr);
    QCOMPARE(variable.averageBitrate(), 68000.0);
    QVERIFY(!copyFits(variable, 64, false));
    QVERIFY(copyFits(variable, 68, false));
    QVERIFY(copyFits(variable, 80, false));

    Mp3Scan damaged = at64;
    damaged.copyable = false;
    QVERIFY(!copyFits(damaged, 96, false));
}

void TestFastenccUnits::resamplerGivesFiniteSamplesWithinFullScale_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("32000 stereo") << 32000 << 2;
    QTest::newRow("24000 stereo") << 24000 << 2;
    QTest::newRow("22050 mono") << 22050 << 1;
    QTest::newRow("16000 mono") << 16000 << 1;
    QTest::newRow("48000 stereo (up)") << 48000 << 2;
}

// A full-scale square wave (whose band limiting overshoots full scale), NaN, infinities and
// the largest floats go through the resampler at every output rate of the profiles: LAME gets
// only finite samples within full scale, and the length comes out in proportion.
void TestFastenccUnits::resamplerGivesFiniteSamplesWithinFullScale()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("extreme.wav"));
    constexpr int kRate = 44100;
    std::vector<float> samples(std::size_t(kRate) * 2 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i / 2 / 20) % 2 ? 1.0f : -1.0f; // 1102.5 Hz square, both channels
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    samples[0] = nan;
    for (std::size_t i = 10000; i < 10800; ++i)
        samples[i] = nan;
    for (std::size_t i = 30000; i < 30040; ++i)
        samples[i] = i % 2 ? inf : -inf;
    samples[50000] = std::numeric_limits<float>::max();
    samples[50001] = -std::numeric_limits<float>::max();
    samples[60000] = 1e30f;
    samples.back() = inf;
    QVERIFY(writeFloatWav(wav, samples, 2, kRate));

    AudioDecoder decoder;
    QVERIFY(decoder.open(wav.toStdString()).ok());
    SampleChecker checker(channels);
    const Status s = decoder.run(rate, channels, checker);
    QVERIFY2(s.ok(), s.message.c_str());
    QCOMPARE(checker.bad, 0LL);
    QVERIFY(checker.peak > 0.9f);
    QVERIFY2(std::abs(checker.frames - 2LL * rate) <= 2, qPrintable(QString::number(checker.frames)));
}

void TestFastenccUnits::piecesJoinIntoOneStreamAsGoodAsOneEncoders_data()
{
    QTest::addColumn<int>("kbps");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("joinFrames");
    QTest::newRow("96k stereo") << 96 << 2 << 12;
    QTest::newRow("64k stereo") << 64 << 2 << 12;
    QTest::newRow("32k mono") << 32 << 1 << 12;
    QTest::newRow("16k mono") << 16 << 1 << 12;
    QTest::newRow("128k stereo") << 128 << 2 << 12;
    // Windows of two frames often hold no join: the left encoder goes on to the next window.
    QTest::newRow("96k stereo, narrow join windows") << 96 << 2 << 2;
    QTest::newRow("16k mono, narrow join windows") << 16 << 1 << 2;
}

// Pieces of a second, so that eleven joins fall into 11.3 s and the last piece is a short one:
// FFmpeg decodes the joined stream without a complaint, to the exact length of the source (the
// info frame counts right, at every bit rate), as close to it as one encoder's stream.
void TestFastenccUnits::piecesJoinIntoOneStreamAsGoodAsOneEncoders()
{
    QFETCH(int, kbps);
    QFETCH(int, channels);
    QFETCH(int, joinFrames);
    QTemporaryDir dir;
    const Mp3Format format = Mp3Encoder::chooseFormat(44100, channels, kbps);
    const QString wav = writeMusic(dir, format, 11.3);
    QVERIFY(!wav.isEmpty());
    const std::vector<float> source = musicLike(format.sampleRate, channels, 11.3);

    const QString joined = dir.filePath(QStringLiteral("joined.mp3"));
    PieceLayout layout = secondPieces(format);
    layout.joinFrames = joinFrames;
    layout.moreWindows = 3;
    const Status s = encodeWavInPieces(wav, joined, format, layout);
    QVERIFY2(s.ok(), s.message.c_str());
    const QString wholeMp3 = dir.filePath(QStringLiteral("whole.mp3"));
    QVERIFY(encodeWavInOne(wav, wholeMp3, format).ok());

    std::vector<float> pieces = decodeStrictly(joined, channels);
    std::vector<float> whole = decodeStrictly(wholeMp3, channels);
    if (!frameHoldsInfoTag(bigEndian32(reinterpret_cast<const unsigned char *>(audioFrames(joined).constData())))) {
        // LAME writes no info frame where a frame at the bit rate cannot hold it: its decoder
        // keeps the delay and the padding. The joined stream has one all the same.
        QVERIFY(whole.size() >= source.size() + kDelay * channels);
        whole.erase(whole.begin(), whole.begin() + kDelay * channels);
        whole.resize(source.size());
    }
    QCOMPARE(pieces.size(), source.size());
    QCOMPARE(whole.size(), source.size());
    const double piecesSnr = snr(source, pieces);
    const double wholeSnr = snr(source, whole);
    QVERIFY2(piecesSnr > wholeSnr - 0.5, qPrintable(QStringLiteral("%1 dB against %2 dB").arg(piecesSnr).arg(wholeSnr)));
}

// With no frame to join at, the first piece's encoder goes on through every later piece: the
// audio frames are then byte for byte those of one encoder over the whole input.
void TestFastenccUnits::whereNoJoinFitsTheEncoderGoesOnThroughTheNextPiece()
{
    QTemporaryDir dir;
    const Mp3Format format = Mp3Encoder::chooseFormat(44100, 2, 64);
    const QString wav = writeMusic(dir, format, 5.5);
    QVERIFY(!wav.isEmpty());

    const QString joined = dir.filePath(QStringLiteral("joined.mp3"));
    const QString whole = dir.filePath(QStringLiteral("whole.mp3"));
    PieceLayout layout = secondPieces(format);
    layout.joinFrames = 0;
    Status s = encodeWavInPieces(wav, joined, format, layout);
    QVERIFY2(s.ok(), s.message.c_str());
    s = encodeWavInPieces(wav, whole, format, onePiece());
    QVERIFY2(s.ok(), s.message.c_str());

    const QByteArray frames = audioFrames(joined);
    QVERIFY(frames.size() > 10000);
    QCOMPARE(frames, audioFrames(whole));
    QCOMPARE(decodeStrictly(joined, 2).size(), std::size_t(format.sampleRate) * 11);
}

// A 24-bit source's quietest detail (a tone at -95 dBFS, below the 16-bit grid) comes through
// the pieces as well as through one encoder given the decoder's floats.
void TestFastenccUnits::deepSourcesKeepTheirQuietestDetailInPieces()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("quiet.wav"));
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"), QStringLiteral("2"),
               QStringLiteral("-b"), QStringLiteral("24"), wav, QStringLiteral("synth"), QStringLiteral("8"),
               QStringLiteral("sine"), QStringLiteral("1000"), QStringLiteral("gain"), QStringLiteral("-95")});
    QVERIFY(sox.waitForFinished(60000) && sox.exitCode() == 0);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), wav, QStringLiteral("-f"),
                  QStringLiteral("f32le"), QStringLiteral("-")});
    QVERIFY(ffmpeg.waitForFinished(60000));
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    std::vector<float> source(static_cast<std::size_t>(pcm.size()) / sizeof(float));
    std::memcpy(source.data(), pcm.constData(), source.size() * sizeof(float));
    QVERIFY(source.size() == 8 * 44100 * 2);

    const Mp3Format format = Mp3Encoder::chooseFormat(44100, 2, 128);
    const QString pieces = dir.filePath(QStringLiteral("pieces.mp3"));
    const QString one = dir.filePath(QStringLiteral("one.mp3"));
    PieceLayout layout = secondPieces(format);
    QVERIFY(encodeWavInPieces(wav, pieces, format, layout).ok());
    QVERIFY(encodeWavInOne(wav, one, format).ok());
    const double piecesSnr = snr(source, decodeStrictly(pieces, 2));
    const double oneSnr = snr(source, decodeStrictly(one, 2));
    QVERIFY2(oneSnr > 10, qPrintable(QString::number(oneSnr)));
    QVERIFY2(piecesSnr > oneSnr - 3, qPrintable(QStringLiteral("%1 dB against %2 dB").arg(piecesSnr).arg(oneSnr)));
}

void TestFastenccUnits::outputAppearsWholeOrNotAtAll_data()
{
    QTest::addColumn<bool>("allowUnnamed");
    QTest::newRow("written without a name") << true;
    QTest::newRow("written under a temporary name") << false;
}

// The output is written without a name where the file system allows, else under a temporary
// one; either way it appears only whole at the target, and a folder renamed while it is written
// keeps nothing of it.
void TestFastenccUnits::outputAppearsWholeOrNotAtAll()
{
    QFETCH(bool, allowUnnamed);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a"))));
    const QString target = dir.filePath(QStringLiteral("a/x.mp3"));
    const Bytes bytes(200000, 0x5A);
    const auto listing = [&](const QString &folder) {
        return QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
    };
    {
        OutputFile file(target.toStdString(), allowUnnamed);
        QVERIFY(file.create().ok());
        QVERIFY(file.write(bytes).ok());
        const QStringList during = listing(QStringLiteral("a"));
        if (file.unnamed()) {
            QVERIFY(during.isEmpty());
        } else {
            QCOMPARE(during.size(), 1);
            QVERIFY(during.first().startsWith(QLatin1String(".fastencc-")));
        }
        QVERIFY(file.commit().ok());
    }
    QCOMPARE(listing(QStringLiteral("a")), QStringList{QStringLiteral("x.mp3")});
    QCOMPARE(QFileInfo(target).size(), qint64(bytes.size()));

    const std::string second = dir.filePath(QStringLiteral("a/y.mp3")).toStdString();
    for (const bool commit : {true, false}) {
        {
            OutputFile file(second, allowUnnamed);
            QVERIFY(file.create().ok());
            QVERIFY(file.write(bytes).ok());
            QVERIFY(QDir(dir.path()).rename(QStringLiteral("a"), QStringLiteral("b")));
            if (commit)
                QCOMPARE(file.commit().code, ExitCode::BadOutput);
        }
        QCOMPARE(listing(QStringLiteral("b")), QStringList{QStringLiteral("x.mp3")});
        QVERIFY(QDir(dir.path()).rename(QStringLiteral("b"), QStringLiteral("a")));
    }
    QCOMPARE(listing(QStringLiteral("a")), QStringList{QStringLiteral("x.mp3")});
}

void TestFastenccUnits::measuresLoudnessAsLibebur128Does_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("gain"); // applied to the music-like signal
    QTest::addColumn<int>("batch");   // frames handed over at once
    QTest::newRow("44.1 kHz stereo") << 44100 << 2 << 1.0 << 4096;
    QTest::newRow("48 kHz stereo, quiet, odd batches") << 48000 << 2 << 0.03 << 777;
    QTest::newRow("22.05 kHz mono") << 22050 << 1 << 0.5 << 16384;
    QTest::newRow("11.025 kHz mono (a step of 1102.5 frames)") << 11025 << 1 << 1.0 << 1000;
    QTest::newRow("8 kHz stereo, under the absolute gate") << 8000 << 2 << 0.0002 << 512;
    QTest::newRow("a third of a second: no whole block") << -44100 << 2 << 1.0 << 4096;
}

// The integrated loudness is the one libebur128 gives for the same samples, at any rate,
// level and batch size; silence, and audio shorter than one block, have none.
void TestFastenccUnits::measuresLoudnessAsLibebur128Does()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(double, gain);
    QFETCH(int, batch);
    const bool short_ = rate < 0;
    rate = std::abs(rate);
    std::vector<float> interleaved = musicLike(rate, channels, short_ ? 0.33 : 7.3);
    for (float &x : interleaved)
        x = static_cast<float>(x * gain);
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);

    ebur128_state *reference = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), EBUR128_MODE_I);
    QVERIFY(reference);
    ebur128_add_frames_float(reference, interleaved.data(), frames);
    double expected = 0;
    ebur128_loudness_global(reference, &expected);
    ebur128_destroy(&reference);

    LoudnessMeter meter(channels, rate);
    std::vector<std::vector<float>> planes(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < planes.size(); ++c)
            planes[c][i] = interleaved[i * planes.size() + c];
    for (std::size_t at = 0; at < frames; at += static_cast<std::size_t>(batch)) {
        const float *pointers[2] = {planes[0].data() + at, planes.back().data() + at};
        meter.add(pointers, static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(batch), frames - at)));
    }
    const Loudness measured = meter.result();
    QVERIFY(std::abs(measured.seconds - static_cast<double>(frames) / rate) < 1e-6);
    if (!std::isfinite(expected)) {
        QVERIFY2(!std::isfinite(measured.lufs), qPrintable(QString::number(measured.lufs)));
        QCOMPARE(loudnessLine(measured).substr(0, 14), std::string("loudness -inf "));
        return;
    }
    QVERIFY2(std::abs(measured.lufs - expected) < 0.05,
             qPrintable(QStringLiteral("%1 LUFS against libebur128's %2").arg(measured.lufs).arg(expected)));
}

// A sine at a quarter of the sample rate, sampled 45 degrees off its crests, shows only 0.707
// of its height in the samples: the true peak finds the full height, however the audio comes
// in batches.
void TestFastenccUnits::measuresTruePeakBetweenSamples()
{
    const int rate = 48000;
    for (const double height : {1.0, 0.25}) {
        for (const int batch : {1, 5, 4096}) {
            std::vector<float> quarter(static_cast<std::size_t>(rate));
            for (std::size_t i = 0; i < quarter.size(); ++i)
                quarter[i] = static_cast<float>(height * std::sin(M_PI / 2 * static_cast<double>(i) + M_PI / 4));
            std::vector<float> silent(quarter.size(), 0.0f);
            LoudnessMeter meter(2, rate);
            for (std::size_t at = 0; at < quarter.size(); at += static_cast<std::size_t>(batch)) {
                const float *pointers[2] = {silent.data() + at, quarter.data() + at};
                meter.add(pointers,
                          static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(batch), quarter.size() - at)));
            }
            const double peak = meter.result().truePeak;
            // Within 0.2 dB: the sine's abrupt start overshoots a little between samples.
            QVERIFY2(std::abs(20 * std::log10(peak / height)) < 0.2,
                     qPrintable(QStringLiteral("%1 for a sine of %2 in batches of %3").arg(peak).arg(height).arg(batch)));
        }
    }

    // A band-limited pulse whose top falls between samples, up to 0.45 of the sample rate (as an
    // MP3's music reaches at 32 kHz), where the samples miss it by up to 3 dB: its peak is known
    // exactly, and read within 0.05 dB at every output rate.
    for (const int sampleRate : {16000, 22050, 32000, 44100, 48000}) {
        for (const double band : {0.3, 0.45}) {
            for (const double offset : {0.5, 0.33, 0.125}) {
                std::vector<float> pulse(static_cast<std::size_t>(sampleRate / 2), 0.0f);
                const double top = 0.9;
                const double centre = sampleRate / 4 + offset;
                for (std::size_t n = 0; n < pulse.size(); ++n) {
                    const double d = static_cast<double>(n) - centre;
                    if (std::abs(d) < 400)
                        pulse[n] = static_cast<float>(top * std::sin(2 * M_PI * band * d) / (2 * M_PI * band * d)
                                                      * (0.5 + 0.5 * std::cos(M_PI * d / 400)));
                }
                LoudnessMeter meter(1, sampleRate);
                const float *planes[] = {pulse.data()};
                meter.add(planes, static_cast<int>(pulse.size()));
                const double error = 20 * std::log10(meter.result().truePeak / top);
                QVERIFY2(std::abs(error) < 0.05,
                         qPrintable(QStringLiteral("%1 dB off at %2 Hz, a pulse to %3 of the rate, %4 "
                                                   "of a sample off")
                                        .arg(error)
                                        .arg(sampleRate)
                                        .arg(band)
                                        .arg(offset)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestFastenccUnits)
#include "test_fastencc_units.moc"
