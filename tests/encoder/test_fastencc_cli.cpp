// Runs the real fastencc on inputs made here with sox and ffmpeg, and reads every result back
// with ffprobe and ffmpeg, as a user's tools would.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kFastencc = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
constexpr int kTimeoutMs = 120000;

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &args, const QString &workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    Run r;
    r.finished = p.waitForFinished(kTimeoutMs) && p.exitStatus() == QProcess::NormalExit;
    if (!r.finished)
        p.kill();
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Run fastencc(const QStringList &args, const QString &workDir = {})
{
    return run(kFastencc, args, workDir);
}

// Runs a fixture tool; returns its error output when it fails, an empty string when it works.
QString tool(const QString &program, const QStringList &args)
{
    const Run r = run(program, args);
    if (r.finished && r.exitCode == 0)
        return {};
    return program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromLocal8Bit(r.err);
}

QString ffmpeg(const QStringList &args)
{
    return tool(QStringLiteral("ffmpeg"),
                QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
}

struct Probe
{
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    int bitRate = 0;
    double duration = 0;
};

Probe probe(const QString &file)
{
    const Run r = run(QStringLiteral("ffprobe"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("a:0"),
                       QStringLiteral("-show_entries"),
                       QStringLiteral("stream=codec_name,sample_rate,channels,bit_rate,duration"), QStringLiteral("-of"),
                       QStringLiteral("json"), file});
    const QJsonArray streams = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("streams")).toArray();
    if (streams.isEmpty())
        return {};
    const QJsonObject s = streams.first().toObject();
    return {s.value(QStringLiteral("codec_name")).toString(), s.value(QStringLiteral("sample_rate")).toString().toInt(),
            s.value(QStringLiteral("channels")).toInt(), s.value(QStringLiteral("bit_rate")).toString().toInt(),
            s.value(QStringLiteral("duration")).toString().toDouble()};
}

// The first audio stream decoded by ffmpeg to mono float at rate (0: the file's own rate).
QVector<float> decode(const QString &file, int rate = 0)
{
    QStringList args{QStringLiteral("-v"),   QStringLiteral("error"), QStringLiteral("-i"),  file,
                     QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-ac"), QStringLiteral("1")};
    if (rate > 0)
        args << QStringLiteral("-ar") << QString::number(rate);
    args << QStringLiteral("-f") << QStringLiteral("f32le") << QStringLiteral("-");
    const Run r = run(QStringLiteral("ffmpeg"), args);
    QVector<float> samples(r.out.size() / static_cast<int>(sizeof(float)));
    std::memcpy(samples.data(), r.out.constData(), static_cast<size_t>(samples.size()) * sizeof(float));
    return samples;
}

// The samples per channel mpg123 plays of an MP3 file (it drops what the info frame tells it
// to, as ffmpeg does, by its own reading of the frame), or -1 when it fails.
qsizetype mpg123Samples(const QString &file, int channels)
{
    const Run r = run(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-s"), file});
    if (!r.finished || r.exitCode != 0 || channels <= 0)
        return -1;
    return r.out.size() / (2 * channels);
}

// ffmpeg's EBU R128 reading of a file: integrated loudness and true peak, or NaN for both.
QPair<double, double> ffmpegLoudness(const QString &file)
{
    const Run r = run(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"), file,
                       QStringLiteral("-af"), QStringLiteral("ebur128=peak=true:framelog=verbose"), QStringLiteral("-f"),
                       QStringLiteral("null"), QStringLiteral("-")});
    const QString text = QString::fromUtf8(r.err);
    const auto lufs = QRegularExpression(QStringLiteral("\\n\\s+I:\\s+(-?[\\d.]+|-inf) LUFS")).match(text);
    const auto peak = QRegularExpression(QStringLiteral("\\n\\s+Peak:\\s+(-?[\\d.]+|-inf) dBFS")).match(text);
    if (!lufs.hasMatch() || !peak.hasMatch())
        return {NAN, NAN};
    return {lufs.captured(1).toDouble(), peak.captured(1).toDouble()};
}

// The figures of fastencc's loudness line (LUFS, dBTP, seconds), or NaN when there is none.
std::array<double, 3> loudnessOf(const QByteArray &out)
{
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "loudness")
            return {QString::fromLatin1(parts[1]).toDouble(), QString::fromLatin1(parts[2]).toDouble(),
                    QString::fromLatin1(parts[3]).toDouble()};
    }
    return {NAN, NAN, NAN};
}

float peak(const QVector<float> &samples)
{
    float p = 0;
    for (float s : samples)
        p = std::max(p, std::abs(s));
    return p;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// A copy of a float WAV whose samples are damaged the way broken recorders and conversions
// leave them: NaN (the first sample and a run in the middle), infinities and values far beyond
// full scale, the last sample included.
bool writeDamagedFloatWav(const QString &from, const QString &to, int bytesPerSample)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray wav = in.readAll();
    const qsizetype data = wav.indexOf("data") + 8;
    const qsizetype count = (wav.size() - data) / bytesPerSample;
    if (data < 8 || count < 60000)
        return false;
    const auto put = [&](qsizetype index, double value) {
        char *at = wav.data() + data + index * bytesPerSample;
        if (bytesPerSample == 4) {
            const auto f = static_cast<float>(value);
            std::memcpy(at, &f, sizeof f);
        } else {
            std::memcpy(at, &value, sizeof value);
        }
    };
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const double huge = bytesPerSample == 4 ? 3e38 : 1e300;
    put(0, nan);
    for (qsizetype i = 20000; i < 20400; ++i)
        put(i, nan);
    for (qsizetype i = 30000; i < 30010; ++i)
        put(i, i % 2 ? inf : -inf);
    put(40001, huge);
    put(40002, -huge);
    put(50000, 3.5);
    put(count - 1, inf);
    return out.write(wav) == wav.size();
}

// One to three kinds of damage, as files suffer them: flipped bits (most often in the headers),
// a header word set to an extreme, the end cut off, random bytes inserted, a run overwritten
// with noise or 0xFF bytes (NaN in a float file).
void damage(QByteArray &data, QRandomGenerator &random)
{
    const auto at = [&](qsizetype size) {
        return random.bounded(2) ? random.bounded(std::min<qsizetype>(size, 4096)) : random.bounded(size);
    };
    const int times = 1 + random.bounded(3);
    for (int t = 0; t < times && data.size() > 8; ++t) {
        switch (random.bounded(5)) {
        case 0:
            for (int n = 1 + random.bounded(32); n > 0; --n)
                data[at(data.size())] ^= static_cast<char>(1 << random.bounded(8));
            break;
        case 1: {
            constexpr quint32 extremes[] = {0, 1, 0xffff, 0x7fffffff, 0xffffffff};
            const quint32 word = extremes[random.bounded(5)];
            std::memcpy(data.data() + random.bounded(std::min<qsizetype>(data.size() - 4, 128)), &word, sizeof word);
            break;
        }
        case 2:
            data.truncate(random.bounded(data.size()));
            break;
        case 3: {
            QByteArray noise(1 + random.bounded(4096), '\0');
            for (char &c : noise)
                c = static_cast<char>(random.bounded(256));
            data.insert(at(data.size()), noise);
            break;
        }
        default: {
            const qsizetype start = at(data.size());
            const qsizetype length = std::min<qsizetype>(1 + random.bounded(512), data.size() - start);
            const bool noise = random.bounded(2);
            for (qsizetype i = start; i < start + length; ++i)
                data[i] = noise ? static_cast<char>(random.bounded(256)) : '\xff';
        }
        }
    }
}

// A canonical WAV file of 16-bit samples: the header, then samples as data.
QByteArray wav(int channels, int rate, const QByteArray &samples)
{
    QByteArray file;
    const auto u32 = [&](quint32 v) { file.append(reinterpret_cast<const char *>(&v), 4); };
    const auto u16 = [&](quint16 v) { file.append(reinterpret_cast<const char *>(&v), 2); };
    file.append("RIFF");
    u32(static_cast<quint32>(36 + samples.size()));
    file.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(static_cast<quint16>(channels));
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate * channels * 2));
    u16(static_cast<quint16>(channels * 2));
    u16(16);
    file.append("data");
    u32(static_cast<quint32>(samples.size()));
    return file + samples;
}

// The bit rate in bit/s that the first frame of music of an MP3 file states, as a player that
// reads nothing else takes it (an info frame before it may have a rate of its own); 0 when the
// file does not start with layer III frames.
int firstFrameBitrate(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray b = f.read(4096);
    static constexpr int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr int rates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    for (qsizetype at = 0; at + 4 <= b.size();) {
        const auto byte = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(b[at + i])); };
        const unsigned version = (byte(1) >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const unsigned index = byte(2) >> 4;
        const unsigned rate = (byte(2) >> 2) & 3;
        if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0 || version == 1 || ((byte(1) >> 1) & 3) != 1 || index == 0 || index == 15
            || rate == 3)
            return 0;
        const int kbps = (version == 3 ? mpeg1 : mpeg2)[index];
        const qsizetype size = (version == 3 ? 144000 : 72000) * kbps / rates[version][rate] + ((byte(2) >> 1) & 1);
        if (at > 0 || !b.mid(at, size).contains("Info"))
            return 1000 * kbps;
        at += size;
    }
    return 0;
}

// Whether an MP3 file starts with an info frame (an "Info" or "Xing" tag in its first frame).
bool startsWithInfoFrame(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = f.read(64);
    return start.contains("Info") || start.contains("Xing");
}

// Whether an MP3 file that decodes to got samples is as long as its input of expected samples:
// to a sample or two (resampling rounds) where its info frame lets decoders drop LAME's delay
// and padding; where there is none, with LAME's delay, the decoder's, and the padding of the
// last frame.
bool asLongAs(const QString &mp3, qsizetype got, qsizetype expected)
{
    const bool info = startsWithInfoFrame(mp3);
    const qsizetype delay = info ? 0 : 576 + 529;
    return got - delay >= expected - 2 && got - delay <= expected + (info ? 2 : 1152);
}

struct Profile
{
    const char *name;
    bool mono;
    int bitrate;
};
constexpr Profile kProfiles[] = {
    {"96000 stereo", false, 96000},
    {"64000 stereo", false, 64000},
    {"32000 mono", true, 32000},
    {"16000 mono", true, 16000},
};

QStringList profileArgs(const Profile &p)
{
    QStringList args;
    if (p.mono)
        args << QStringLiteral("-dm");
    args << QStringLiteral("-br") << QString::number(p.bitrate);
    return args;
}

// The size and MD5 of each audio packet as ffmpeg's demuxer delivers them from a stream copy:
// the frame data, whatever tags surround it.
QStringList framesOf(const QString &file)
{
    const Run r = run(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file, QStringLiteral("-map"),
                       QStringLiteral("0:a"), QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-f"),
                       QStringLiteral("framemd5"), QStringLiteral("-")});
    QStringList frames;
    for (const QByteArray &line : r.out.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (!line.startsWith('#') && fields.size() >= 6) // side data may follow
            frames << QString::fromLatin1(fields[4].trimmed() + ' ' + fields[5].trimmed());
    }
    return frames;
}

// An MP3 made of files joined end to end, as audiobooks are: 48 kbit/s files made by ffmpeg,
// each with its info frame, kept beside it as to + ".1", ".2" ... The tags after each part
// depend on the name: "joined.mp3" an ID3v2 tag before each, "joined-v1.mp3" an ID3v1 tag after
// the first too, "joined-lyrics3.mp3" three parts each ending in Lyrics3v2 and ID3v1 tags,
// "joined-bare.mp3" no tags at all. Returns an error text, or an empty one.
QString joinParts(const QString &wav, const QString &to)
{
    const QString kind = QFileInfo(to).fileName().section(QLatin1Char('-'), 1);
    const bool lyrics3 = kind == QLatin1String("joined-lyrics3.mp3");
    const bool bare = kind == QLatin1String("joined-bare.mp3");
    const int parts = lyrics3 ? 3 : 2;
    QByteArray joined;
    for (int part = 1; part <= parts; ++part) {
        const QString file = to + QLatin1Char('.') + QString::number(part);
        QStringList args{QStringLiteral("-i"), wav};
        if (part % 2 == 0)
            args << QStringLiteral("-af") << QStringLiteral("areverse");
        args << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a") << QStringLiteral("48k")
             << QStringLiteral("-f") << QStringLiteral("mp3") << QStringLiteral("-write_id3v1")
             << (part == 1 && kind == QLatin1String("joined-v1.mp3") ? QStringLiteral("1") : QStringLiteral("0"));
        if (lyrics3 || bare)
            args << QStringLiteral("-id3v2_version") << QStringLiteral("0");
        else
            args << QStringLiteral("-metadata") << QStringLiteral("title=Chapter %1").arg(part);
        if (const QString error = ffmpeg(args << file); !error.isEmpty())
            return error;
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read ") + file;
        joined += in.readAll();
        if (lyrics3) {
            const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGININD0000210LYR00020[00:01]Chapter words");
            joined += lyrics + QByteArray::number(lyrics.size()).rightJustified(6, '0') + "LYRICS200";
            joined += QByteArray("TAGChapter ").leftJustified(128, ' ');
        }
    }
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(joined) != joined.size())
        return QStringLiteral("cannot join ") + to;
    return {};
}

// The frames of the parts joinParts() made for joined, in order.
QStringList framesOfParts(const QString &joined)
{
    QStringList frames;
    for (int part = 1; QFile::exists(joined + QLatin1Char('.') + QString::number(part)); ++part)
        frames += framesOf(joined + QLatin1Char('.') + QString::number(part));
    return frames;
}

// One kind of input: how it is made, and the WAV file of the same sample rate and channel
// count (at most two) on which the lame command tells the expected output format.
struct InputKind
{
    QString file;
    QString reference;
    int channels;
};

} // namespace

class TestFastenccCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void encodesEveryInputAtEveryProfile_data();
    void encodesEveryInputAtEveryProfile();
    void defaultBitRateIsLames();
    void copiesAnMp3NoLargerThanTheProfile_data();
    void copiesAnMp3NoLargerThanTheProfile();

    void downmixKeepsBothChannelsWithoutClipping();
    void nothingAboveTheNewNyquistFrequencyFoldsBack_data();
    void nothingAboveTheNewNyquistFrequencyFoldsBack();
    void readsACompressedStreamInAWavAsWhatItIs_data();
    void readsACompressedStreamInAWavAsWhatItIs();
    void ignoresCoverArtAndTakesFirstAudioStream();
    void encodesWhatIsLeftOfATruncatedFile();
    void encodesFloatFilesWithNaNAndInfinity_data();
    void encodesFloatFilesWithNaNAndInfinity();
    void survivesDamagedFiles();

    void rejectsBadInput_data();
    void rejectsBadInput();
    void rejectsUnwritableOutput_data();
    void rejectsUnwritableOutput();
    void refusesToOverwriteTheInput_data();
    void refusesToOverwriteTheInput();
    void replacesAnExistingOutputOnlyOnSuccess();

    void commandLine_data();
    void commandLine();
    void acceptsAnyCharacterInPaths();
    void printsOnlyProgressLines();
    void measuresWhatItWritesAsFfmpegDoes_data();
    void measuresWhatItWritesAsFfmpegDoes();
    void gainSetsTheOutputsLoudness();

    void outputDependsOnlyOnInputAndOptions_data();
    void outputDependsOnlyOnInputAndOptions();

    void signalStopsAndCleansUp_data();
    void signalStopsAndCleansUp();
    void leavesNothingWhenItsFolderOrItsParentGoes_data();
    void leavesNothingWhenItsFolderOrItsParentGoes();

private:
    QString makeLongInput();
    QString path(const QString &name) const { return m_dir.filePath(name); }
    int lameRate(const QString &reference, const Profile &profile);
    QTemporaryDir m_dir;
    QHash<QString, InputKind> m_inputs;
    QHash<QString, int> m_lameRates;
};

void TestFastenccCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The fatal signals sent to the encoder below would otherwise leave core files around.
    const rlimit noCore{0, 0};
    QCOMPARE(::setrlimit(RLIMIT_CORE, &noCore), 0);
    QVERIFY2(QFile::exists(kFastencc), qPrintable(kFastencc));
    const auto sox = [](const QStringList &args) { return tool(QStringLiteral("sox"), args); };

    // Two different channels (a sweep and a tone), so downmix faults show.
    const QString base = path(QStringLiteral("base.wav"));
    if (const QString e = sox({QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                               QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), base, QStringLiteral("synth"),
                               QStringLiteral("4"), QStringLiteral("sine"), QStringLiteral("200-4000"), QStringLiteral("sine"),
                               QStringLiteral("700"), QStringLiteral("gain"), QStringLiteral("-3")});
        !e.isEmpty())
        QFAIL(qPrintable(e));
    struct Made
    {
        QString name;
        QString reference;
        int channels;
        std::function<QString(const QString &)> make;
    };
    const QString mono = path(QStringLiteral("mono.wav"));
    const QString ref48 = path(QStringLiteral("ref48.wav"));
    const QString low = path(QStringLiteral("low.wav"));
    const auto soxFrom = [&](const QString &from, QStringList opts) {
        return [=](const QString &out) { return sox(QStringList{from} + opts + QStringList{out}); };
    };
    const auto ffFrom = [&](const QString &from, QStringList opts) {
        return [=](const QString &out) { return ffmpeg(QStringList{QStringLiteral("-i"), from} + opts + QStringList{out}); };
    };
    const auto manyChannels = [&](int channels) {
        return [=](const QString &out) {
            return sox({QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                        QString::number(channels), out, QStringLiteral("synth"), QStringLiteral("4"), QStringLiteral("sine"),
                        QStringLiteral("300"), QStringLiteral("sine"), QStringLiteral("700"), QStringLiteral("gain"),
                        QStringLiteral("-12")});
        };
    };
    const QString s = QStringLiteral("-b");
    const QString e = QStringLiteral("-e");
    const QString ca = QStringLiteral("-c:a");
    const QString ba = QStringLiteral("-b:a");
    const std::vector<Made> made = {
        {QStringLiteral("mono.wav"), mono, 1, soxFrom(base, {QStringLiteral("-c"), QStringLiteral("1")})},
        {QStringLiteral("ref48.wav"), ref48, 2, soxFrom(base, {QStringLiteral("-r"), QStringLiteral("48000")})},
        {QStringLiteral("low.wav"), low, 1,
         soxFrom(base, {QStringLiteral("-r"), QStringLiteral("22050"), QStringLiteral("-c"), QStringLiteral("1")})},
        {QStringLiteral("pcm8.wav"), base, 2, soxFrom(base, {s, QStringLiteral("8"), e, QStringLiteral("unsigned-integer")})},
        {QStringLiteral("pcm24.wav"), base, 2, soxFrom(base, {s, QStringLiteral("24")})},
        {QStringLiteral("pcm32.wav"), base, 2, soxFrom(base, {s, QStringLiteral("32"), e, QStringLiteral("signed-integer")})},
        {QStringLiteral("float.wav"), base, 2, soxFrom(base, {s, QStringLiteral("32"), e, QStringLiteral("floating-point")})},
        {QStringLiteral("double.wav"), base, 2, soxFrom(base, {s, QStringLiteral("64"), e, QStringLiteral("floating-point")})},
        {QStringLiteral("alaw.wav"), base, 2, soxFrom(base, {s, QStringLiteral("8"), e, QStringLiteral("a-law")})},
        {QStringLiteral("surround51.wav"), ref48, 6,
         [&](const QString &out) {
             return sox({QStringLiteral("-n"),    QStringLiteral("-r"),   QStringLiteral("48000"),
                         QStringLiteral("-c"),    QStringLiteral("6"),    out,
                         QStringLiteral("synth"), QStringLiteral("4"),    QStringLiteral("sine"),
                         QStringLiteral("300"),   QStringLiteral("sine"), QStringLiteral("400"),
                         QStringLiteral("sine"),  QStringLiteral("500"),  QStringLiteral("sine"),
                         QStringLiteral("60"),    QStringLiteral("sine"), QStringLiteral("600"),
                         QStringLiteral("sine"),  QStringLiteral("700"),  QStringLiteral("gain"),
                         QStringLiteral("-6")});
         }},
        // Many channels without a known layout (no channel mask): the resampler has no downmix
        // for them.
        {QStringLiteral("channels9.wav"), base, 9, manyChannels(9)},
        {QStringLiteral("channels12.wav"), base, 12, manyChannels(12)},
        {QStringLiteral("channels32.wav"), base, 32, manyChannels(32)},
        {QStringLiteral("song.mp3"), base, 2, ffFrom(base, {ca, QStringLiteral("libmp3lame"), ba, QStringLiteral("192k")})},
        {QStringLiteral("song1.wma"), base, 2, ffFrom(base, {ca, QStringLiteral("wmav1"), ba, QStringLiteral("128k")})},
        {QStringLiteral("song2.wma"), base, 2, ffFrom(base, {ca, QStringLiteral("wmav2"), ba, QStringLiteral("128k")})},
        {QStringLiteral("song.flac"), base, 2, soxFrom(base, {})},
        {QStringLiteral("song.ogg"), base, 2, ffFrom(base, {ca, QStringLiteral("libvorbis")})},
        {QStringLiteral("song.m4a"), base, 2, ffFrom(base, {ca, QStringLiteral("aac"), ba, QStringLiteral("128k")})},
    };
    m_inputs.insert(QStringLiteral("base.wav"), {base, base, 2});
    for (const Made &m : made) {
        const QString out = path(m.name);
        if (const QString error = m.make(out); !error.isEmpty())
            QFAIL(qPrintable(error));
        m_inputs.insert(m.name, {out, m.reference, m.channels});
    }
}

int TestFastenccCli::lameRate(const QString &reference, const Profile &profile)
{
    const QString key = reference + QLatin1Char('|') + QLatin1String(profile.name);
    if (!m_lameRates.contains(key)) {
        const QString out = path(QStringLiteral("lame-reference.mp3"));
        QStringList args{QStringLiteral("--quiet")};
        if (profile.mono)
            args << QStringLiteral("-m") << QStringLiteral("m");
        args << QStringLiteral("-b") << QString::number(profile.bitrate / 1000) << reference << out;
        m_lameRates.insert(key, tool(QStringLiteral("lame"), args).isEmpty() ? probe(out).sampleRate : -1);
    }
    return m_lameRates.value(key);
}

void TestFastenccCli::encodesEveryInputAtEveryProfile_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("profile");
    const QStringList names{QStringLiteral("base.wav"),       QStringLiteral("pcm8.wav"),      QStringLiteral("pcm24.wav"),
                            QStringLiteral("pcm32.wav"),      QStringLiteral("float.wav"),     QStringLiteral("alaw.wav"),
                            QStringLiteral("mono.wav"),       QStringLiteral("low.wav"),       QStringLiteral("ref48.wav"),
                            QStringLiteral("surround51.wav"), QStringLiteral("song.mp3"),      QStringLiteral("song1.wma"),
                            QStringLiteral("song2.wma"),      QStringLiteral("song.flac"),     QStringLiteral("song.ogg"),
                            QStringLiteral("song.m4a"),       QStringLiteral("channels9.wav"), QStringLiteral("channels12.wav"),
                            QStringLiteral("channels32.wav")};
    for (const QString &name : names) {
        for (int p = 0; p < 4; ++p)
            QTest::addRow("%s %s", qPrintable(name), kProfiles[p].name) << name << p;
    }
}

// The output has the bit rate asked for, in its first frame too (players that read nothing else
// take the length from it), the channel count of the profile (a mono source stays mono), the
// sample rate the lame command picks for the same source, and the input's length to a sample or
// two (resampling rounds) in ffmpeg and in mpg123 alike: the info frame lets decoders drop
// LAME's delay and padding, at every bit rate (where a frame at the bit rate cannot hold it, it
// is a frame of a higher one).
void TestFastenccCli::encodesEveryInputAtEveryProfile()
{
    QFETCH(QString, input);
    QFETCH(int, profile);
    const Profile &p = kProfiles[profile];
    const InputKind kind = m_inputs.value(input);
    const QString out = path(QStringLiteral("out.mp3"));
    QFile::remove(out);

    const Run r = fastencc(QStringList{kind.file, out} + profileArgs(p));
    QVERIFY2(r.finished && r.exitCode == 0, r.err.constData());
    QVERIFY(r.err.isEmpty());

    const Probe mp3 = probe(out);
    QCOMPARE(mp3.codec, QStringLiteral("mp3"));
    QCOMPARE(mp3.bitRate, p.bitrate);
    QCOMPARE(firstFrameBitrate(out), p.bitrate);
    QCOMPARE(mp3.channels, p.mono || kind.channels == 1 ? 1 : 2);
    QCOMPARE(mp3.sampleRate, lameRate(kind.reference, p));

    // ffmpeg has no downmix for many channels of unknown places; the reference is as long.
    const qsizetype expected = decode(kind.channels > 8 ? kind.reference : kind.file, mp3.sampleRate).size();
    const qsizetype got = decode(out).size();
    QVERIFY2(asLongAs(out, got, expected), qPrintable(QStringLiteral("decoded %1 samples, input has %2").arg(got).arg(expected)));
    const qsizetype played = mpg123Samples(out, mp3.channels);
    QVERIFY2(asLongAs(out, played, expected),
             qPrintable(QStringLiteral("mpg123 played %1 samples, input has %2").arg(played).arg(expected)));
    QVERIFY(startsWithInfoFrame(out));
    QVERIFY(peak(decode(out)) > 0.1f);
}

void TestFastenccCli::defaultBitRateIsLames()
{
    for (const bool mono : {false, true}) {
        const QString out = path(QStringLiteral("default.mp3"));
        const QString ref = path(QStringLiteral("default-lame.mp3"));
        QStringList args{m_inputs.value(QStringLiteral("base.wav")).file, out};
        QStringList lameArgs{QStringLiteral("--quiet")};
        if (mono) {
            args << QStringLiteral("-dm");
            lameArgs << QStringLiteral("-m") << QStringLiteral("m");
        }
        const Run r = fastencc(args);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(tool(QStringLiteral("lame"), lameArgs << m_inputs.value(QStringLiteral("base.wav")).file << ref), QString());
        const Probe ours = probe(out);
        const Probe lames = probe(ref);
        QCOMPARE(ours.bitRate, lames.bitRate);
        QCOMPARE(ours.sampleRate, lames.sampleRate);
        QCOMPARE(ours.channels, mono ? 1 : 2);
    }
}

void TestFastenccCli::copiesAnMp3NoLargerThanTheProfile_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("encodedAt"); // the output's bit rate when encoded; 0: the frames are copied
    const QString br = QStringLiteral("-br");
    const QString dm = QStringLiteral("-dm");
    const auto at = [&](int bitrate, bool mono = false) {
        return mono ? QStringList{dm, br, QString::number(bitrate)} : QStringList{br, QString::number(bitrate)};
    };
    QTest::newRow("64k at 64000 stereo (equal)") << QStringLiteral("cbr64.mp3") << at(64000) << 0;
    QTest::newRow("64k at 96000 stereo") << QStringLiteral("cbr64.mp3") << at(96000) << 0;
    QTest::newRow("96k at 64000 stereo (above)") << QStringLiteral("cbr96.mp3") << at(64000) << 64000;
    QTest::newRow("64k stereo at 96000 mono (downmix)") << QStringLiteral("cbr64.mp3") << at(96000, true) << 96000;
    QTest::newRow("32k mono at 32000 mono (equal)") << QStringLiteral("mono32.mp3") << at(32000, true) << 0;
    QTest::newRow("32k mono at 16000 mono (above)") << QStringLiteral("mono32.mp3") << at(16000, true) << 16000;
    QTest::newRow("16k mono at 16000 mono, MPEG-2") << QStringLiteral("mono16.mp3") << at(16000, true) << 0;
    QTest::newRow("lame's 48k with ID3 tags, no info frame") << QStringLiteral("lame48.mp3") << at(64000) << 0;
    QTest::newRow("variable rate averaging below") << QStringLiteral("vbr.mp3") << at(64000) << 0;
    QTest::newRow("MP3 named .wav") << QStringLiteral("mp3-named.wav") << at(64000) << 0;
    QTest::newRow("last frame cut short") << QStringLiteral("cut.mp3") << at(64000) << 0;
    QTest::newRow("damaged inside") << QStringLiteral("damaged.mp3") << at(64000) << 64000;
    QTest::newRow("equal, -reencode") << QStringLiteral("cbr64.mp3") << (at(64000) << QStringLiteral("-reencode")) << 64000;
    QTest::newRow("MP3 inside a WAV file") << QStringLiteral("mp3-in.wav") << at(96000) << 96000;
    // Audiobooks and podcasts: files joined end to end, each with its tags and info frame.
    QTest::newRow("joined files, each with its ID3v2 tag") << QStringLiteral("joined.mp3") << at(64000) << 0;
    QTest::newRow("joined files, an ID3v1 tag between") << QStringLiteral("joined-v1.mp3") << at(64000) << 0;
    QTest::newRow("joined files, above the profile") << QStringLiteral("joined.mp3") << at(32000) << 32000;
    QTest::newRow("joined files, Lyrics3v2 and ID3v1 after each of three")
        << QStringLiteral("joined-lyrics3.mp3") << at(64000) << 0;
    QTest::newRow("joined files, no tags between") << QStringLiteral("joined-bare.mp3") << at(64000) << 0;
    QTest::newRow("joined files, no tags between, above the profile") << QStringLiteral("joined-bare.mp3") << at(32000) << 32000;
    QTest::newRow("64k with an APE tag without header") << QStringLiteral("ape.mp3") << at(96000) << 0;
}

// An MP3 at or below the output's bit rate keeps its frames as they are (no second loss, no
// growth), says so with "copied RATE" before the last progress line, and loses its tags and
// any info frame that no longer holds. Anything else is encoded at the profile's rate.
void TestFastenccCli::copiesAnMp3NoLargerThanTheProfile()
{
    QFETCH(QString, source);
    QFETCH(QStringList, args);
    QFETCH(int, encodedAt);
    const QString base = m_inputs.value(QStringLiteral("base.wav")).file;
    const QString in = path(QStringLiteral("copy-") + source);
    if (!QFile::exists(in)) {
        const QString cbr64 = path(QStringLiteral("copy-cbr64.mp3"));
        const QString ca = QStringLiteral("-c:a");
        const QString lame = QStringLiteral("libmp3lame");
        const QString ba = QStringLiteral("-b:a");
        const QStringList tags{QStringLiteral("-metadata"), QStringLiteral("title=Old title"), QStringLiteral("-write_id3v1"),
                               QStringLiteral("1")};
        QString error;
        if (source == QLatin1String("cbr64.mp3"))
            error = ffmpeg(QStringList{QStringLiteral("-i"), base, ca, lame, ba, QStringLiteral("64k")} + tags << in);
        else if (source == QLatin1String("cbr96.mp3"))
            error = ffmpeg(QStringList{QStringLiteral("-i"), base, ca, lame, ba, QStringLiteral("96k")} + tags << in);
        else if (source == QLatin1String("mono32.mp3"))
            error = ffmpeg({QStringLiteral("-i"), base, QStringLiteral("-ac"), QStringLiteral("1"), ca, lame, ba,
                            QStringLiteral("32k"), in});
        else if (source == QLatin1String("mono16.mp3"))
            error = ffmpeg({QStringLiteral("-i"), base, QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-ar"),
                            QStringLiteral("16000"), ca, lame, ba, QStringLiteral("16k"), in});
        else if (source == QLatin1String("lame48.mp3"))
            error = tool(QStringLiteral("lame"),
                         {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("48"), QStringLiteral("--tt"),
                          QStringLiteral("Old"), QStringLiteral("--add-id3v2"), base, in});
        else if (source == QLatin1String("vbr.mp3"))
            error = tool(QStringLiteral("lame"),
                         {QStringLiteral("--quiet"), QStringLiteral("-V"), QStringLiteral("9"), base, in});
        else if (source == QLatin1String("mp3-in.wav"))
            error = ffmpeg({QStringLiteral("-i"), base, ca, lame, ba, QStringLiteral("64k"), QStringLiteral("-f"),
                            QStringLiteral("wav"), in});
        else if (source.startsWith(QLatin1String("joined")))
            error = joinParts(base, in);
        else if (source == QLatin1String("ape.mp3")) {
            // No ID3v2, then an APEv2 tag with a footer alone, as many taggers write it.
            error = ffmpeg(QStringList{QStringLiteral("-i"), base, ca, lame, ba, QStringLiteral("64k"),
                                       QStringLiteral("-id3v2_version"), QStringLiteral("0"), QStringLiteral("-write_id3v1"),
                                       QStringLiteral("0"), in});
            QFile to(in);
            if (error.isEmpty() && to.open(QIODevice::Append)) {
                const QByteArray item = QByteArray("\x09\0\0\0\0\0\0\0Title\0", 14) + "Old title";
                QByteArray footer("APETAGEX\xd0\x07\0\0", 12);
                const auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
                footer += le32(quint32(item.size() + 32)) + le32(1) + le32(0) + QByteArray(8, '\0');
                to.write(item + footer);
            }
        }
        if (!error.isEmpty())
            QFAIL(qPrintable(error));
        if (source == QLatin1String("mp3-named.wav") || source == QLatin1String("cut.mp3")
            || source == QLatin1String("damaged.mp3")) {
            if (!QFile::exists(cbr64))
                QSKIP("needs the 64k source of an earlier row");
            QFile from(cbr64);
            QVERIFY(from.open(QIODevice::ReadOnly));
            QByteArray data = from.readAll();
            if (source == QLatin1String("cut.mp3"))
                data.chop(128 + 100); // the ID3v1 tag and part of the last frame
            else if (source == QLatin1String("damaged.mp3"))
                data.insert(data.size() / 2, QByteArray(333, '\x5a'));
            QFile to(in);
            QVERIFY(to.open(QIODevice::WriteOnly));
            to.write(data);
        }
    }
    const QString out = path(QStringLiteral("copied.mp3"));
    QFile::remove(out);

    const Run r = fastencc(QStringList{in, out} + args);
    QVERIFY2(r.finished && r.exitCode == 0, r.err.constData());
    QVERIFY(r.err.isEmpty());
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.last(), QByteArray("progress 100"));
    const Probe mp3 = probe(out);
    QCOMPARE(mp3.codec, QStringLiteral("mp3"));
    if (encodedAt > 0) {
        QVERIFY(!r.out.contains("copied"));
        QCOMPARE(mp3.bitRate, encodedAt);
        if (source == QLatin1String("joined-bare.mp3")) {
            // The second part's info frame, which ffmpeg plays as a frame of silence, is no
            // part of the music: the output is that much shorter.
            const qsizetype played = decode(in).size() - 1152;
            const qsizetype got = decode(out, 44100).size();
            QVERIFY2(std::abs(got - played) <= 2, qPrintable(QStringLiteral("%1 samples, %2 expected").arg(got).arg(played)));
        }
        return;
    }

    // Copied: announced once, with the source's bit rate, right before the loudness lines (the
    // blocks, then the loudness) and the end.
    QCOMPARE(r.out.count("copied"), 1);
    QVERIFY(lines[lines.size() - 2].startsWith("loudness "));
    QVERIFY(lines[lines.size() - 3].startsWith("loudness-blocks "));
    const QList<QByteArray> copied = lines[lines.size() - 4].split(' ');
    QCOMPARE(copied.size(), 2);
    QCOMPARE(copied[0], QByteArray("copied"));
    const int rate = copied[1].toInt();
    if (source == QLatin1String("vbr.mp3"))
        QVERIFY2(rate > 8000 && rate <= 64000, copied[1].constData());
    else
        QCOMPARE(rate, probe(in).bitRate);

    // The same frames, byte for byte; a frame cut short is left out. Of joined files, the
    // frames of every part in order (each part's info frame and tags left out).
    const bool joined = source.startsWith(QLatin1String("joined"));
    const QStringList before = joined ? framesOfParts(in) : framesOf(in);
    const QStringList after = framesOf(out);
    QVERIFY(after.size() > 100);
    if (joined) {
        QCOMPARE(after, before);
        // As long as the joined file plays: at most the parts' encoder delays differ.
        const qsizetype played = decode(in).size();
        QVERIFY2(std::abs(decode(out).size() - played) <= 2 * 1152,
                 qPrintable(QStringLiteral("%1 samples of %2").arg(decode(out).size()).arg(played)));
    }
    if (source == QLatin1String("cut.mp3"))
        QVERIFY(after.size() == before.size() || after.size() == before.size() - 1);
    QCOMPARE(after, before.mid(0, after.size()));
    QVERIFY(QFileInfo(out).size() <= QFileInfo(in).size());

    // No tags of the source: the stream starts with a frame and ends with one.
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(0xFF));
    QVERIFY(!bytes.right(128).startsWith("TAG"));
    QVERIFY(!bytes.contains("Old title") && !bytes.contains("Chapter"));
    // An info frame kept only while it holds: the copy plays exactly as long as the source.
    if (source != QLatin1String("cut.mp3") && !joined)
        QCOMPARE(decode(out).size(), decode(in).size());
    else
        QVERIFY(!bytes.left(200).contains("Info"));
}

void TestFastenccCli::nothingAboveTheNewNyquistFrequencyFoldsBack_data()
{
    QTest::addColumn<int>("profile");
    for (int p = 0; p < 4; ++p)
        QTest::addRow("%s", kProfiles[p].name) << p;
}

// Tones above the output's Nyquist frequency (faded in and out, so no click spreads into the
// band kept) leave nothing a listener could hear: one just above it, which the resampler's
// transition band folds back above the band LAME keeps, and one far above it, which its
// stopband takes. A filter put in the wrong place lets either through at tens of dB.
void TestFastenccCli::nothingAboveTheNewNyquistFrequencyFoldsBack()
{
    QFETCH(int, profile);
    const Profile &p = kProfiles[profile];
    const QString probeMp3 = path(QStringLiteral("rate.mp3"));
    QVERIFY(fastencc(QStringList{m_inputs.value(QStringLiteral("base.wav")).file, probeMp3} + profileArgs(p)).exitCode == 0);
    const int nyquist = probe(probeMp3).sampleRate / 2;
    QVERIFY(nyquist > 0);

    const QString in = path(QStringLiteral("above.wav"));
    const QString out = path(QStringLiteral("above.mp3"));
    QCOMPARE(
        tool(QStringLiteral("sox"),
             {QStringLiteral("-n"),    QStringLiteral("-r"),    QStringLiteral("44100"), QStringLiteral("-c"),
              QStringLiteral("2"),     QStringLiteral("-b"),    QStringLiteral("16"),    in,
              QStringLiteral("synth"), QStringLiteral("3"),     QStringLiteral("sine"),  QString::number(nyquist * 102 / 100),
              QStringLiteral("sine"),  QStringLiteral("21000"), QStringLiteral("gain"),  QStringLiteral("-3"),
              QStringLiteral("fade"),  QStringLiteral("0.1"),   QStringLiteral("3"),     QStringLiteral("0.1")}),
        QString());
    const Run r = fastencc(QStringList{in, out} + profileArgs(p));
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QVector<float> decoded = decode(out);
    QVERIFY(!decoded.isEmpty());
    double sum = 0;
    for (float v : decoded)
        sum += static_cast<double>(v) * v;
    const double rmsDb = 10 * std::log10(sum / decoded.size() + 1e-30);
    QVERIFY2(rmsDb < -80, qPrintable(QStringLiteral("%1 dBFS").arg(rmsDb)));
}

void TestFastenccCli::readsACompressedStreamInAWavAsWhatItIs_data()
{
    QTest::addColumn<QStringList>("codec");
    QTest::newRow("DTS") << QStringList{QStringLiteral("dca"), QStringLiteral("-strict"), QStringLiteral("-2")};
    QTest::newRow("AC-3") << QStringList{QStringLiteral("ac3")};
}

// A 16-bit WAV that holds DTS or AC-3 in S/PDIF frames (as DTS discs are ripped) is decoded as
// that stream, as a player does, not encoded as the noise its bytes would be as samples.
void TestFastenccCli::readsACompressedStreamInAWavAsWhatItIs()
{
    QFETCH(QStringList, codec);
    const QString tone = path(QStringLiteral("tone48.wav"));
    const QString spdif = path(QStringLiteral("tone.spdif"));
    const QString wav = path(QStringLiteral("spdif.wav"));
    QCOMPARE(tool(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"), QStringLiteral("-c"), QStringLiteral("2"),
                   QStringLiteral("-b"), QStringLiteral("16"), tone, QStringLiteral("synth"), QStringLiteral("4"),
                   QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("gain"), QStringLiteral("-12")}),
             QString());
    QCOMPARE(ffmpeg(QStringList{QStringLiteral("-i"), tone, QStringLiteral("-c:a")} + codec
                    + QStringList{QStringLiteral("-f"), QStringLiteral("spdif"), spdif}),
             QString());
    QCOMPARE(tool(QStringLiteral("sox"),
                  {QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"), QStringLiteral("48000"),
                   QStringLiteral("-e"), QStringLiteral("signed"), QStringLiteral("-b"), QStringLiteral("16"),
                   QStringLiteral("-c"), QStringLiteral("2"), spdif, wav}),
             QString());
    const QString out = path(QStringLiteral("spdif.mp3"));
    const Run r = fastencc({wav, out});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    // The tone at its level, not the bitstream's noise at full scale: a sine at -12 dBFS peaks
    // at 0.25, 0.35 once decode() has added its two channels at -3 dB each.
    const float level = peak(decode(out));
    QVERIFY2(level > 0.3f && level < 0.42f, qPrintable(QString::number(level)));
}

void TestFastenccCli::downmixKeepsBothChannelsWithoutClipping()
{
    // Full-scale identical channels: a -3 dB-per-side downmix would reach 1.41.
    const QString loud = path(QStringLiteral("loud.wav"));
    QCOMPARE(tool(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"), QStringLiteral("2"),
                   loud, QStringLiteral("synth"), QStringLiteral("3"), QStringLiteral("sine"), QStringLiteral("440"),
                   QStringLiteral("gain"), QStringLiteral("-0.2")}),
             QString());
    // One channel silent, the other not: the mono file must still carry the sound.
    const QString left = path(QStringLiteral("left.wav"));
    const QString right = path(QStringLiteral("right.wav"));
    QCOMPARE(tool(QStringLiteral("sox"), {loud, left, QStringLiteral("remix"), QStringLiteral("1"), QStringLiteral("0")}),
             QString());
    QCOMPARE(tool(QStringLiteral("sox"), {loud, right, QStringLiteral("remix"), QStringLiteral("0"), QStringLiteral("2")}),
             QString());

    const QString out = path(QStringLiteral("downmix.mp3"));
    for (const Profile &p : kProfiles) {
        if (!p.mono)
            continue;
        QCOMPARE(fastencc(QStringList{loud, out} + profileArgs(p)).exitCode, 0);
        const float full = peak(decode(out));
        QVERIFY2(full > 0.8f && full < 1.06f, qPrintable(QString::number(full)));

        for (const QString &side : {left, right}) {
            QCOMPARE(fastencc(QStringList{side, out} + profileArgs(p)).exitCode, 0);
            const float half = peak(decode(out));
            QVERIFY2(half > 0.4f && half < 0.6f, qPrintable(side + QLatin1Char(' ') + QString::number(half)));
        }
    }
}

void TestFastenccCli::ignoresCoverArtAndTakesFirstAudioStream()
{
    const QString base = m_inputs.value(QStringLiteral("base.wav")).file;
    const QString cover = path(QStringLiteral("cover.png"));
    QCOMPARE(ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("color=red:s=300x300"),
                     QStringLiteral("-frames:v"), QStringLiteral("1"), cover}),
             QString());
    const QString withPicture = path(QStringLiteral("cover.mp3"));
    QCOMPARE(ffmpeg({QStringLiteral("-i"), base, QStringLiteral("-i"), cover, QStringLiteral("-map"), QStringLiteral("0"),
                     QStringLiteral("-map"), QStringLiteral("1"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                     QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-id3v2_version"), QStringLiteral("3"),
                     withPicture}),
             QString());
    const QString flacPicture = path(QStringLiteral("cover.flac"));
    QCOMPARE(ffmpeg({QStringLiteral("-i"), base, QStringLiteral("-i"), cover, QStringLiteral("-map"), QStringLiteral("0"),
                     QStringLiteral("-map"), QStringLiteral("1"), QStringLiteral("-c:a"), QStringLiteral("flac"),
                     QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-disposition:v"),
                     QStringLiteral("attached_pic"), flacPicture}),
             QString());
    // A video stream first, then two audio streams: the first audio stream (the tone) is used.
    const QString videoFirst = path(QStringLiteral("video-first.mkv"));
    QCOMPARE(ffmpeg({QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("color=blue:s=64x64:d=4"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=1000:duration=4"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("anullsrc=duration=4"),
                     QStringLiteral("-map"),
                     QStringLiteral("0:v"),
                     QStringLiteral("-map"),
                     QStringLiteral("1:a"),
                     QStringLiteral("-map"),
                     QStringLiteral("2:a"),
                     QStringLiteral("-c:v"),
                     QStringLiteral("mjpeg"),
                     QStringLiteral("-c:a"),
                     QStringLiteral("flac"),
                     videoFirst}),
             QString());

    const QString out = path(QStringLiteral("cover-out.mp3"));
    for (const QString &in : {withPicture, flacPicture, videoFirst}) {
        QFile::remove(out);
        const Run r = fastencc({in, out, QStringLiteral("-br"), QStringLiteral("96000")});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const Probe mp3 = probe(out);
        QCOMPARE(mp3.codec, QStringLiteral("mp3"));
        QVERIFY2(std::abs(mp3.duration - 4.0) < 0.1, qPrintable(QString::number(mp3.duration)));
        QVERIFY2(peak(decode(out)) > 0.05f, qPrintable(in)); // the silent stream was not taken
    }
}

void TestFastenccCli::encodesWhatIsLeftOfATruncatedFile()
{
    QFile whole(m_inputs.value(QStringLiteral("song.mp3")).file);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QString cut = path(QStringLiteral("cut.mp3"));
    QFile half(cut);
    QVERIFY(half.open(QIODevice::WriteOnly));
    half.write(whole.read(whole.size() / 2 + 77)); // ends inside a frame
    half.close();

    const QString out = path(QStringLiteral("cut-out.mp3"));
    const Run r = fastencc({cut, out, QStringLiteral("-br"), QStringLiteral("64000")});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(std::abs(probe(out).duration - 2.0) < 0.1, qPrintable(QString::number(probe(out).duration)));
}

void TestFastenccCli::encodesFloatFilesWithNaNAndInfinity_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("bytesPerSample");
    QTest::addColumn<QStringList>("options");
    // As it is, and through the downmix and the resampler on one thread.
    const QStringList lowMono{QStringLiteral("-dm"), QStringLiteral("-br"), QStringLiteral("16000"), QStringLiteral("-1t")};
    QTest::newRow("32-bit") << QStringLiteral("float.wav") << 4 << QStringList();
    QTest::newRow("32-bit, 16000 mono") << QStringLiteral("float.wav") << 4 << lowMono;
    QTest::newRow("64-bit") << QStringLiteral("double.wav") << 8 << QStringList();
    QTest::newRow("64-bit, 16000 mono") << QStringLiteral("double.wav") << 8 << lowMono;
    QTest::newRow("32-bit, 64000 stereo") << QStringLiteral("float.wav") << 4
                                          << QStringList{QStringLiteral("-br"), QStringLiteral("64000")};
}

// NaN is taken as silence and everything beyond full scale is clipped, so LAME gets numbers it
// can work with and the file converts like any other.
void TestFastenccCli::encodesFloatFilesWithNaNAndInfinity()
{
    QFETCH(QString, input);
    QFETCH(int, bytesPerSample);
    QFETCH(QStringList, options);
    const QString damaged = path(QStringLiteral("damaged-") + input);
    QVERIFY(writeDamagedFloatWav(m_inputs.value(input).file, damaged, bytesPerSample));
    const QString folder = path(QStringLiteral("damaged-out"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);

    const QString out = folder + QStringLiteral("/x.mp3");
    const Run r = fastencc(QStringList{damaged, out} + options);
    QVERIFY2(r.finished && r.exitCode == 0, r.err.constData());
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("x.mp3")});
    const Probe mp3 = probe(out);
    QCOMPARE(mp3.codec, QStringLiteral("mp3"));
    const QVector<float> samples = decode(out);
    QVERIFY(asLongAs(out, samples.size(), decode(damaged, mp3.sampleRate).size()));
    QVERIFY(std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); }));
    const float loudest = peak(samples);
    QVERIFY2(loudest > 0.1f && loudest < 1.5f, qPrintable(QString::number(loudest)));
}

// A short version of bench/fuzz_encoder.sh: whatever the damage, fastencc ends with one of its
// own exit statuses, leaving a complete MP3 or nothing at all.
void TestFastenccCli::survivesDamagedFiles()
{
    const QStringList sources{QStringLiteral("base.wav"), QStringLiteral("float.wav"), QStringLiteral("double.wav"),
                              QStringLiteral("song.mp3"), QStringLiteral("song2.wma"), QStringLiteral("song.flac")};
    const QList<QStringList> options{
        {}, {QStringLiteral("-1t")}, {QStringLiteral("-dm"), QStringLiteral("-br"), QStringLiteral("16000")}};
    const QString folder = path(QStringLiteral("fuzz-out"));
    const QString out = folder + QStringLiteral("/x.mp3");
    QRandomGenerator random(20240917);
    for (int i = 0; i < 36; ++i) {
        const QString source = sources[i % sources.size()];
        QFile original(m_inputs.value(source).file);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray data = original.readAll();
        damage(data, random);
        const QString damaged = path(QStringLiteral("fuzz.") + QFileInfo(source).suffix());
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        file.close();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);

        const QStringList args = options[(i / sources.size()) % options.size()];
        const Run r = fastencc(QStringList{damaged, out} + args);
        const QByteArray what = QStringLiteral("damaged copy %1 of %2 %3: exit %4, %5")
                                    .arg(i)
                                    .arg(source, args.join(QLatin1Char(' ')))
                                    .arg(r.exitCode)
                                    .arg(QString::fromLocal8Bit(r.err))
                                    .toLocal8Bit();
        QVERIFY2(r.finished, what.constData());
        QVERIFY2(r.exitCode == 0 || r.exitCode == 1 || r.exitCode == 3, what.constData());
        if (r.exitCode == 0) {
            QCOMPARE(filesIn(folder), QStringList{QStringLiteral("x.mp3")});
            QCOMPARE(probe(out).codec, QStringLiteral("mp3"));
        } else {
            QCOMPARE(filesIn(folder), QStringList());
        }
    }
}

void TestFastenccCli::rejectsBadInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QByteArray random(200000, '\0');
    QRandomGenerator generator(20240601);
    for (char &c : random)
        c = static_cast<char>(generator.bounded(256));
    QByteArray text;
    for (int i = 0; i < 300; ++i)
        text += "This is a text file and no audio at all.\n";

    QTest::newRow("empty file") << QStringLiteral("empty.mp3") << QByteArray();
    QTest::newRow("text named .mp3") << QStringLiteral("text.mp3") << text;
    QTest::newRow("random bytes named .wma") << QStringLiteral("random.wma") << random;
    QTest::newRow("random bytes named .mp3") << QStringLiteral("random.mp3") << random;
    QTest::newRow("random bytes named .wav") << QStringLiteral("random.wav") << random;
    // A canonical 44-byte header of 16-bit stereo at 44.1 kHz whose data chunk is empty.
    QByteArray header("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0"
                      "\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0",
                      44);
    QTest::newRow("WAV without samples") << QStringLiteral("nosamples.wav") << header;
    // Headers no recording has: 64 to 255 channels, a sample rate below 1000 Hz (which would
    // stretch a small file into hundreds of megabytes).
    QTest::newRow("WAV of 64 channels") << QStringLiteral("channels64.wav") << wav(64, 44100, random);
    QTest::newRow("WAV of 255 channels") << QStringLiteral("channels255.wav") << wav(255, 44100, random);
    QTest::newRow("WAV at 100 Hz") << QStringLiteral("rate100.wav") << wav(2, 100, random);
    QTest::newRow("WAV at 999 Hz") << QStringLiteral("rate999.wav") << wav(1, 999, random);
    QTest::newRow("missing file") << QStringLiteral("missing.wav") << QByteArray("-");
    QTest::newRow("folder") << QStringLiteral("a folder.wav") << QByteArray("/");
    QTest::newRow("named pipe") << QStringLiteral("pipe.wav") << QByteArray("|");
}

void TestFastenccCli::rejectsBadInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString in = path(QStringLiteral("bad/") + name);
    QDir().mkpath(path(QStringLiteral("bad")));
    if (content == "/") {
        QDir().mkpath(in);
    } else if (content == "|") {
        QCOMPARE(::mkfifo(QFile::encodeName(in).constData(), 0600), 0); // never written: would hang
    } else if (content != "-") {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QString outFolder = path(QStringLiteral("bad-out"));
    QDir().mkpath(outFolder);
    const QString out = outFolder + QStringLiteral("/x.mp3");

    const Run r = fastencc({in, out, QStringLiteral("-br"), QStringLiteral("96000")});
    QVERIFY2(r.finished, "hung or crashed");
    QCOMPARE(r.exitCode, 3);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.contains(in.toUtf8()), r.err.constData());
    QCOMPARE(filesIn(outFolder), QStringList());
}

void TestFastenccCli::rejectsUnwritableOutput_data()
{
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("setup");
    QTest::newRow("folder does not exist") << QStringLiteral("no such folder/x.mp3") << QString();
    QTest::newRow("a file stands for the folder") << QStringLiteral("base.wav/x.mp3") << QString();
    QTest::newRow("output is a folder") << QStringLiteral("bad-out") << QString();
    QTest::newRow("output is a named pipe") << QStringLiteral("bad-out/pipe.mp3") << QStringLiteral("fifo");
    QTest::newRow("read-only folder") << QStringLiteral("read-only/x.mp3") << QStringLiteral("read-only");
    QTest::newRow("write fails midway (file size limit)") << QStringLiteral("bad-out/x.mp3") << QStringLiteral("limit");
}

void TestFastenccCli::rejectsUnwritableOutput()
{
    QFETCH(QString, out);
    QFETCH(QString, setup);
    const QString outFolder = path(QStringLiteral("bad-out"));
    QDir(outFolder).removeRecursively();
    QDir().mkpath(outFolder);
    QString program = kFastencc;
    QStringList args{m_inputs.value(QStringLiteral("base.wav")).file, path(out)};
    if (setup == QLatin1String("read-only")) {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QDir().mkpath(path(QStringLiteral("read-only")));
        QFile::setPermissions(path(QStringLiteral("read-only")), QFile::ReadOwner | QFile::ExeOwner);
    } else if (setup == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path(out)).constData(), 0600), 0);
    } else if (setup == QLatin1String("limit")) {
        // 20 KiB: the info frame and some audio get written, then writing fails.
        program = QStringLiteral("bash");
        args = QStringList{QStringLiteral("-c"), QStringLiteral("ulimit -f 20; exec \"$0\" \"$@\""), kFastencc} + args;
    }

    const Run r = run(program, args);
    QCOMPARE(r.exitCode, 4);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.contains("output"), r.err.constData());
    if (setup == QLatin1String("fifo")) {
        QVERIFY(QFileInfo(path(out)).isFile() == false && QFileInfo::exists(path(out)));
        QFile::remove(path(out));
    }
    QVERIFY(!QFileInfo(path(out)).isFile());
    QCOMPARE(filesIn(outFolder), QStringList());
}

void TestFastenccCli::refusesToOverwriteTheInput_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("same spelling") << QStringLiteral("victim.wav");
    QTest::newRow("other spelling") << QStringLiteral("./sub/../victim.wav");
    QTest::newRow("symbolic link") << QStringLiteral("victim-link.wav");
    QTest::newRow("hard link") << QStringLiteral("victim-hard.wav");
}

void TestFastenccCli::refusesToOverwriteTheInput()
{
    QFETCH(QString, output);
    const QString victim = path(QStringLiteral("victim.wav"));
    QFile::remove(victim);
    QVERIFY(QFile::copy(m_inputs.value(QStringLiteral("base.wav")).file, victim));
    QDir().mkpath(path(QStringLiteral("sub")));
    QFile::remove(path(QStringLiteral("victim-link.wav")));
    QVERIFY(QFile::link(victim, path(QStringLiteral("victim-link.wav"))));
    QFile::remove(path(QStringLiteral("victim-hard.wav")));
    QCOMPARE(
        ::link(QFile::encodeName(victim).constData(), QFile::encodeName(path(QStringLiteral("victim-hard.wav"))).constData()), 0);
    QFile original(m_inputs.value(QStringLiteral("base.wav")).file);
    QVERIFY(original.open(QIODevice::ReadOnly));

    const Run r = fastencc({QStringLiteral("victim.wav"), output}, m_dir.path());
    QCOMPARE(r.exitCode, 5);
    QCOMPARE(r.err.count('\n'), 1);
    QFile after(victim);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QVERIFY(after.readAll() == original.readAll());
}

void TestFastenccCli::replacesAnExistingOutputOnlyOnSuccess()
{
    const QString out = path(QStringLiteral("existing.mp3"));
    QFile old(out);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();

    QCOMPARE(fastencc({path(QStringLiteral("missing.wav")), out}).exitCode, 3);
    QCOMPARE(QFileInfo(out).size(), qint64(13));

    QCOMPARE(fastencc({m_inputs.value(QStringLiteral("base.wav")).file, out}).exitCode, 0);
    QCOMPARE(probe(out).codec, QStringLiteral("mp3"));
    // Readable by others like any new file (the temporary file starts private).
    QVERIFY(QFileInfo(out).permissions() & QFile::ReadOther);
}

void TestFastenccCli::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("channels"); // of the result when code is 0
    QTest::addColumn<int>("bitrate");
    const QString in = QStringLiteral("base.wav");
    const QString out = QStringLiteral("cl.mp3");
    const QString br = QStringLiteral("-br");
    const QString dm = QStringLiteral("-dm");
    QTest::newRow("options after the paths") << QStringList{in, out, dm, br, QStringLiteral("32000")} << 0 << 1 << 32000;
    QTest::newRow("options before the paths") << QStringList{dm, br, QStringLiteral("32000"), in, out} << 0 << 1 << 32000;
    QTest::newRow("options between the paths") << QStringList{in, br, QStringLiteral("64000"), out} << 0 << 2 << 64000;
    QTest::newRow("no arguments") << QStringList{} << 2 << 0 << 0;
    QTest::newRow("one path") << QStringList{in} << 2 << 0 << 0;
    QTest::newRow("three paths") << QStringList{in, out, QStringLiteral("more.mp3")} << 2 << 0 << 0;
    QTest::newRow("unknown option") << QStringList{in, out, QStringLiteral("-x")} << 2 << 0 << 0;
    QTest::newRow("-br without a value") << QStringList{in, out, br} << 2 << 0 << 0;
    QTest::newRow("-br not a number") << QStringList{in, out, br, QStringLiteral("fast")} << 2 << 0 << 0;
    QTest::newRow("-br with unit") << QStringList{in, out, br, QStringLiteral("96k")} << 2 << 0 << 0;
    QTest::newRow("-br zero") << QStringList{in, out, br, QStringLiteral("0")} << 2 << 0 << 0;
    QTest::newRow("-br negative") << QStringList{in, out, br, QStringLiteral("-96000")} << 2 << 0 << 0;
    QTest::newRow("-br too large") << QStringList{in, out, br, QStringLiteral("99999999999999")} << 2 << 0 << 0;
    QTest::newRow("empty path") << QStringList{QString(), out} << 2 << 0 << 0;
    const QString gain = QStringLiteral("-gain");
    QTest::newRow("-gain negative, with decimals") << QStringList{in, out, gain, QStringLiteral("-3.5")} << 0 << 2 << 128000;
    QTest::newRow("-gain without a value") << QStringList{in, out, gain} << 2 << 0 << 0;
    QTest::newRow("-gain not a number") << QStringList{in, out, gain, QStringLiteral("loud")} << 2 << 0 << 0;
    QTest::newRow("-gain with unit") << QStringList{in, out, gain, QStringLiteral("3dB")} << 2 << 0 << 0;
    QTest::newRow("-gain too large") << QStringList{in, out, gain, QStringLiteral("40.5")} << 2 << 0 << 0;
    QTest::newRow("-gain infinite") << QStringList{in, out, gain, QStringLiteral("-inf")} << 2 << 0 << 0;
    QTest::newRow("-measure with an output") << QStringList{QStringLiteral("-measure"), in, out} << 2 << 0 << 0;
    QTest::newRow("-measure without input") << QStringList{QStringLiteral("-measure")} << 2 << 0 << 0;
}

void TestFastenccCli::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(int, channels);
    QFETCH(int, bitrate);
    QFile::remove(path(QStringLiteral("cl.mp3")));

    const Run r = fastencc(args, m_dir.path());
    QCOMPARE(r.exitCode, code);
    if (code == 0) {
        const Probe mp3 = probe(path(QStringLiteral("cl.mp3")));
        QCOMPARE(mp3.channels, channels);
        QCOMPARE(mp3.bitRate, bitrate);
    } else {
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFile::exists(path(QStringLiteral("cl.mp3"))));
    }
}

void TestFastenccCli::acceptsAnyCharacterInPaths()
{
    const Run help = fastencc({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("Exit status"));
    QVERIFY(help.out.contains("-reencode") && help.out.contains("\"copied BITS_PER_SECOND\""));
    for (const QString &option : {QStringLiteral("--version"), QStringLiteral("-V")}) {
        const Run version = fastencc({option});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^fastencc \\d+\\.\\d+\\.\\d+\n$"))
                     .match(QString::fromLatin1(version.out))
                     .hasMatch(),
                 version.out.constData());
    }

    const QString folder = path(QStringLiteral("歌曲 'folder' \"x\""));
    QVERIFY(QDir().mkpath(folder));
    const QString in = QStringLiteral("-开头 a \"b\" 'c' é.wav"); // leading dash, relative
    QVERIFY(QFile::copy(m_inputs.value(QStringLiteral("mono.wav")).file, folder + QLatin1Char('/') + in));
    const QString out = QStringLiteral("-输出 $HOME `x` ; y.mp3");
    const QString br = QStringLiteral("-br");
    const QString rate = QStringLiteral("32000");
    for (const QStringList &args : {QStringList{in, out, br, rate}, QStringList{br, rate, QStringLiteral("--"), in, out}}) {
        QFile::remove(folder + QLatin1Char('/') + out);
        const Run r = fastencc(args, folder);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(probe(folder + QLatin1Char('/') + out).bitRate, 32000);
    }
    QCOMPARE(filesIn(folder).size(), 2);
}

void TestFastenccCli::printsOnlyProgressLines()
{
    const QString out = path(QStringLiteral("progress.mp3"));
    const Run r = fastencc({m_inputs.value(QStringLiteral("song.mp3")).file, out, QStringLiteral("-reencode")});
    QCOMPARE(r.exitCode, 0);
    QList<QByteArray> lines = r.out.split('\n');
    QVERIFY(r.out.endsWith('\n'));
    // The blocks and one loudness line, right before the last progress line.
    QVERIFY(lines.size() > 4);
    QVERIFY2(QRegularExpression(QStringLiteral("^loudness -?\\d+\\.\\d\\d -?\\d+\\.\\d\\d \\d+\\.\\d\\d$"))
                 .match(QString::fromLatin1(lines[lines.size() - 3]))
                 .hasMatch(),
             lines[lines.size() - 3].constData());
    QVERIFY2(QRegularExpression(QStringLiteral("^loudness-blocks \\d+:\\d+(,\\d+:\\d+)*$"))
                 .match(QString::fromLatin1(lines[lines.size() - 4]))
                 .hasMatch(),
             lines[lines.size() - 4].constData());
    lines.remove(lines.size() - 4, 2);
    int last = -1;
    const QRegularExpression format(QStringLiteral("^progress (\\d{1,3})$"));
    for (const QByteArray &line : lines.mid(0, lines.size() - 1)) {
        const auto match = format.match(QString::fromLatin1(line));
        QVERIFY2(match.hasMatch(), line.constData());
        const int percent = match.captured(1).toInt();
        QVERIFY(percent >= last && percent <= 100);
        last = percent;
    }
    QCOMPARE(last, 100);
    QVERIFY(lines.size() > 10);
}

void TestFastenccCli::measuresWhatItWritesAsFfmpegDoes_data()
{
    QTest::addColumn<double>("level"); // of the source, dB
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<double>("gain");
    QTest::addColumn<bool>("copied");
    const QString dm = QStringLiteral("-dm");
    const QString br = QStringLiteral("-br");
    QTest::newRow("quiet, stereo, every core") << -30.0 << QStringList{} << 0.0 << false;
    QTest::newRow("loud, stereo, one thread") << -9.0 << QStringList{QStringLiteral("-1t")} << 0.0 << false;
    QTest::newRow("peak at full scale, mono at 32 kbit/s") << 0.0 << QStringList{dm, br, QStringLiteral("32000")} << 0.0 << false;
    QTest::newRow("raised by 8 dB") << -30.0 << QStringList{QStringLiteral("-gain"), QStringLiteral("8")} << 8.0 << false;
    QTest::newRow("lowered by 5.5 dB, one thread")
        << -14.0 << QStringList{QStringLiteral("-gain"), QStringLiteral("-5.5"), QStringLiteral("-1t")} << -5.5 << false;
    QTest::newRow("frames copied") << -14.0 << QStringList{br, QStringLiteral("320000")} << 0.0 << true;
}

// The loudness line tells what ffmpeg's EBU R128 meter reads on the file written, within half a
// dB, and -measure tells the loudness of the input as it goes to the encoder; -gain moves both
// by its amount.
void TestFastenccCli::measuresWhatItWritesAsFfmpegDoes()
{
    QFETCH(double, level);
    QFETCH(QStringList, options);
    QFETCH(double, gain);
    QFETCH(bool, copied);
    // Pink noise pulsing like a beat, with its peaks brought to level.
    const QString source = path(QStringLiteral("loud%1.wav").arg(level));
    if (!QFile::exists(source)) {
        QCOMPARE(tool(QStringLiteral("sox"),
                      {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                       QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), source, QStringLiteral("synth"),
                       QStringLiteral("6"), QStringLiteral("pinknoise"), QStringLiteral("tremolo"), QStringLiteral("2"),
                       QStringLiteral("70"), QStringLiteral("norm"), QString::number(level)}),
                 QString());
    }
    QString input = source;
    if (copied) {
        input = path(QStringLiteral("loud.mp3"));
        QCOMPARE(ffmpeg({QStringLiteral("-i"), source, QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                         QStringLiteral("-b:a"), QStringLiteral("128k"), input}),
                 QString());
    }
    const QString out = path(QStringLiteral("measured.mp3"));
    QFile::remove(out);
    const Run encoded = fastencc(QStringList{input, out} + options);
    QVERIFY2(encoded.exitCode == 0, encoded.err.constData());
    QCOMPARE(encoded.out.contains("copied"), copied);
    const auto line = loudnessOf(encoded.out);
    const auto reference = ffmpegLoudness(out);
    QVERIFY2(std::abs(line[0] - reference.first) <= 0.5 && std::abs(line[1] - reference.second) <= 0.5,
             qPrintable(QStringLiteral("%1 LUFS %2 dBTP against ffmpeg's %3 LUFS %4 dBTP")
                            .arg(line[0])
                            .arg(line[1])
                            .arg(reference.first)
                            .arg(reference.second)));
    // The length as a player plays it: without the encoder's delay and padding or the info frame.
    QVERIFY2(std::abs(line[2] - 6.0) < 0.001, qPrintable(QString::number(line[2])));

    // -measure reads the input as it will be encoded, without writing anything.
    const Run measured = fastencc(QStringList{QStringLiteral("-measure"), input} + options);
    QVERIFY2(measured.exitCode == 0, measured.err.constData());
    QVERIFY(measured.out.endsWith("progress 100\n"));
    const auto before = loudnessOf(measured.out);
    QVERIFY(std::isfinite(before[0]));
    if (options.contains(QStringLiteral("-dm")))
        return; // the downmix is what is measured, not the stereo source
    const auto plain = ffmpegLoudness(input);
    // A gain raises the samples by the loudness the encoding takes away too.
    const double raised = options.contains(QStringLiteral("-gain")) ? gain + 0.43 : 0.0;
    QVERIFY2(std::abs(before[0] - raised - plain.first) <= 0.5,
             qPrintable(QStringLiteral("%1 against %2").arg(before[0]).arg(plain.first)));
    // MP3 drops the top of the spectrum, which the K-weighting counts high: the output may be
    // quieter than its input (this is why the output is measured), never louder.
    if (!copied)
        QVERIFY2(line[0] <= before[0] + 0.3, qPrintable(QStringLiteral("%1 before, %2 after").arg(before[0]).arg(line[0])));
}

// Levelling asks for an output of a given loudness: -gain DB makes the output play DB louder
// than the input reads, at every profile, the encoding's own loss of loudness allowed for (brown
// noise loses what recorded music does).
void TestFastenccCli::gainSetsTheOutputsLoudness()
{
    const QString source = path(QStringLiteral("brown.wav"));
    QCOMPARE(tool(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"), QStringLiteral("2"),
                   QStringLiteral("-b"), QStringLiteral("16"), source, QStringLiteral("synth"), QStringLiteral("8"),
                   QStringLiteral("brownnoise"), QStringLiteral("tremolo"), QStringLiteral("2"), QStringLiteral("70"),
                   QStringLiteral("norm"), QStringLiteral("-12")}),
             QString());
    const QString out = path(QStringLiteral("levelled.mp3"));
    for (const Profile &p : kProfiles) {
        const Run measured = fastencc(QStringList{QStringLiteral("-measure"), source} + profileArgs(p));
        QVERIFY2(measured.exitCode == 0, measured.err.constData());
        const double input = loudnessOf(measured.out)[0];
        const Run levelled = fastencc(QStringList{source, out, QStringLiteral("-gain"), QStringLiteral("4")} + profileArgs(p));
        QVERIFY2(levelled.exitCode == 0, levelled.err.constData());
        const double output = loudnessOf(levelled.out)[0];
        QVERIFY2(std::abs(output - (input + 4)) < 0.15,
                 qPrintable(
                     QStringLiteral("%1: %2 LUFS in, %3 LUFS out with 4 dB").arg(QLatin1String(p.name)).arg(input).arg(output)));
    }
}

void TestFastenccCli::outputDependsOnlyOnInputAndOptions_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("16-bit stereo") << QStringLiteral("long16.flac")
                                   << QStringList{QStringLiteral("-br"), QStringLiteral("96000")};
    QTest::newRow("24-bit to mono") << QStringLiteral("long24.flac")
                                    << QStringList{QStringLiteral("-dm"), QStringLiteral("-br"), QStringLiteral("32000")};
    // Mixed down, then through the polyphase filter.
    QTest::newRow("float to mono") << QStringLiteral("long-float.wav")
                                   << QStringList{QStringLiteral("-dm"), QStringLiteral("-br"), QStringLiteral("16000")};
}

// A file converted alone (pieces on every core), in a batch (-1t: the same pieces one after
// another) or on a machine of one core comes out byte for byte the same.
void TestFastenccCli::outputDependsOnlyOnInputAndOptions()
{
    QFETCH(QString, input);
    QFETCH(QStringList, options);
    const QString in = path(input);
    if (!QFile::exists(in)) {
        const bool floats = input.contains(QLatin1String("float"));
        QStringList format{QStringLiteral("-b"),
                           input.contains(QLatin1String("24")) ? QStringLiteral("24") : QStringLiteral("16")};
        if (floats)
            format = QStringList{QStringLiteral("-e"), QStringLiteral("floating-point"), QStringLiteral("-b"),
                                 QStringLiteral("32")};
        QCOMPARE(tool(QStringLiteral("sox"),
                      QStringList{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                                  QStringLiteral("2")}
                          + format
                          + QStringList{in, QStringLiteral("synth"), QStringLiteral("25"), QStringLiteral("sine"),
                                        QStringLiteral("100-8000"), QStringLiteral("pinknoise"), QStringLiteral("gain"),
                                        QStringLiteral("-9")}),
                 QString());
    }
    QList<QByteArray> outputs;
    const QString out = path(QStringLiteral("same.mp3"));
    for (const QString &how : {QStringLiteral("alone"), QStringLiteral("-1t"), QStringLiteral("one core")}) {
        QFile::remove(out);
        const QStringList args = QStringList{in, out} + options;
        Run r;
        if (how == QLatin1String("alone"))
            r = fastencc(args);
        else if (how == QLatin1String("-1t"))
            r = fastencc(args + QStringList{QStringLiteral("-1t")});
        else
            r = run(QStringLiteral("taskset"), QStringList{QStringLiteral("-c"), QStringLiteral("0"), kFastencc} + args);
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(how + QLatin1Char(' ') + QString::fromLocal8Bit(r.err)));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        outputs << f.readAll();
        QVERIFY2(outputs.last() == outputs.first(), qPrintable(how));
    }
    QVERIFY(outputs.first().size() > 50000);
}

void TestFastenccCli::signalStopsAndCleansUp_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("oneThread");
    QTest::addColumn<bool>("stop"); // ends with status 128 + N rather than by the signal
    QTest::newRow("SIGTERM") << int(SIGTERM) << false << true;
    QTest::newRow("SIGINT, one thread") << int(SIGINT) << true << true;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false << true;
    // A failed assertion, faults, and signals that end a program without being a request to stop.
    QTest::newRow("SIGABRT") << int(SIGABRT) << false << false;
    QTest::newRow("SIGABRT, one thread") << int(SIGABRT) << true << false;
    QTest::newRow("SIGSEGV") << int(SIGSEGV) << false << false;
    QTest::newRow("SIGBUS, one thread") << int(SIGBUS) << true << false;
    QTest::newRow("SIGFPE") << int(SIGFPE) << false << false;
    QTest::newRow("SIGQUIT") << int(SIGQUIT) << false << false;
    QTest::newRow("SIGUSR1, one thread") << int(SIGUSR1) << true << false;
}

// Whatever signal ends the program, neither the temporary file nor a partial output stays.
void TestFastenccCli::signalStopsAndCleansUp()
{
    QFETCH(int, signal);
    QFETCH(bool, oneThread);
    QFETCH(bool, stop);
    const QString longInput = makeLongInput();
    QVERIFY(!longInput.isEmpty());
    const QString folder = path(QStringLiteral("stopped"));
    QDir().mkpath(folder);

    QProcess p;
    QStringList args{longInput, folder + QStringLiteral("/x.mp3"), QStringLiteral("-br"), QStringLiteral("96000")};
    if (oneThread)
        args << QStringLiteral("-1t");
    p.start(kFastencc, args);
    QVERIFY(p.waitForStarted());
    // The first progress line comes once the temporary file exists and encoding has begun.
    QByteArray progress;
    while (!progress.contains("progress 1\n") && p.state() == QProcess::Running) {
        p.waitForReadyRead(kTimeoutMs);
        progress += p.readAllStandardOutput();
    }
    QCOMPARE(p.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(p.processId()), signal);
    QVERIFY(p.waitForFinished(kTimeoutMs));
    if (stop) {
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signal);
    } else {
        // Ended by the same signal, so the caller learns what happened.
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(p.exitCode(), signal);
    }
    QCOMPARE(filesIn(folder), QStringList());
}

// Two minutes of noise, made once: long enough to act while the encoder is at work.
QString TestFastenccCli::makeLongInput()
{
    const QString longInput = path(QStringLiteral("long.flac"));
    if (!QFile::exists(longInput)
        && !tool(QStringLiteral("sox"),
                 {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"), QStringLiteral("2"),
                  longInput, QStringLiteral("synth"), QStringLiteral("120"), QStringLiteral("pinknoise"), QStringLiteral("gain"),
                  QStringLiteral("-6")})
                .isEmpty())
        return {};
    return longInput;
}

void TestFastenccCli::leavesNothingWhenItsFolderOrItsParentGoes_data()
{
    QTest::addColumn<bool>("killParent");
    QTest::newRow("the output folder renamed while it writes") << false;
    QTest::newRow("its parent killed while it writes") << true;
}

// An output folder renamed meanwhile gets nothing: neither the output (its place is gone) nor
// an unfinished file. An encoder whose parent dies (a desktop program killed during a run)
// stops as on SIGTERM instead of finishing a file nobody will tag.
void TestFastenccCli::leavesNothingWhenItsFolderOrItsParentGoes()
{
    QFETCH(bool, killParent);
    const QString longInput = makeLongInput();
    QVERIFY(!longInput.isEmpty());
    const QString folder = path(QStringLiteral("going"));
    const QString moved = path(QStringLiteral("gone"));
    QDir(folder).removeRecursively();
    QDir(moved).removeRecursively();
    QDir().mkpath(folder);
    const QStringList args{longInput, folder + QStringLiteral("/x.mp3"), QStringLiteral("-br"), QStringLiteral("96000")};

    // With the encoder started by a shell, which is then killed, this process adopts it.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    QProcess p;
    if (killParent)
        p.start(QStringLiteral("sh"),
                QStringList{QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\" & echo pid $!; wait"), kFastencc} + args);
    else
        p.start(kFastencc, args);
    QVERIFY(p.waitForStarted());
    QByteArray output;
    while (!output.contains("progress 1\n") && p.state() == QProcess::Running) {
        p.waitForReadyRead(kTimeoutMs);
        output += p.readAllStandardOutput();
    }
    QCOMPARE(p.state(), QProcess::Running);
    int exitCode = -1;
    if (killParent) {
        const pid_t encoder = output.mid(output.indexOf("pid ") + 4).split('\n').first().toInt();
        QVERIFY(encoder > 0);
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(kTimeoutMs));
        int status = 0;
        QCOMPARE(::waitpid(encoder, &status, 0), encoder);
        QVERIFY(WIFEXITED(status));
        exitCode = WEXITSTATUS(status);
    } else {
        QVERIFY(QDir().rename(folder, moved));
        QVERIFY(p.waitForFinished(kTimeoutMs));
        exitCode = p.exitCode();
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    if (killParent) {
        QCOMPARE(exitCode, 128 + SIGTERM);
        QCOMPARE(filesIn(folder), QStringList());
    } else {
        QCOMPARE(exitCode, 4);
        QVERIFY2(p.readAllStandardError().contains("rename"), "reported as a failure to put the file in place");
        QCOMPARE(filesIn(moved), QStringList());
        QVERIFY(!QFile::exists(folder));
    }
}

QTEST_GUILESS_MAIN(TestFastenccCli)
#include "test_fastencc_cli.moc"
