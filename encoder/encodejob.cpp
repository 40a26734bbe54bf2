#include "encoder/encodejob.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

#include "encoder/audiodecoder.h"
#include "encoder/loudness.h"
#include "encoder/mp3copy.h"
#include "encoder/mp3encoder.h"
#include "encoder/mp3meter.h"
#include "encoder/outputfile.h"
#include "encoder/pieceencoder.h"

namespace fastencc {

namespace {

// What LAME's constant-bit-rate encoding takes from music's integrated loudness (EBU R128), at
// every bit rate, mono and stereo alike: 0.40 to 0.46 dB on recorded music and on brown noise.
// It comes from the quantisation, not the low pass (which takes 0.02 to 0.12 dB).
constexpr double kEncodingLossDb = 0.43;

void printProgress(int percent)
{
    // A closed standard output is no reason to stop encoding; errors are ignored.
    std::printf("progress %d\n", percent);
    std::fflush(stdout);
}

Status checkInput(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return Status::fail(ExitCode::BadInput,
                            "input \"" + path
                                + "\": " + (error == ENOENT ? std::string("no such file") : std::string(std::strerror(error))));
    }
    if (S_ISDIR(info.st_mode))
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\" is a folder, not a file");
    // A device or a pipe may never end (/dev/urandom) and cannot be measured for progress.
    if (!S_ISREG(info.st_mode))
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\" is not a regular file");
    if (info.st_size == 0)
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\" is empty");
    if (::access(path.c_str(), R_OK) != 0)
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\": " + std::strerror(errno));
    return Status::success();
}

// Whether the output's loudness is measured: always, but for the benchmark that times what
// measuring costs (FASTENCC_MEASURE=0).
bool measuring()
{
    const char *setting = std::getenv("FASTENCC_MEASURE");
    return !setting || std::string_view(setting) != "0";
}

// Prints the loudness line of what meter was given, if it could be measured.
void printLoudness(Mp3Meter &meter)
{
    Loudness loudness;
    if (meter.finish(loudness)) {
        std::printf("%s\n%s\n", blocksLine(loudness).c_str(), loudnessLine(loudness).c_str());
        std::fflush(stdout);
    }
}

// Measures the input as it would be encoded, on the calling thread.
class MeasureListener final : public DecodeListener
{
public:
    MeasureListener(int channels, int sampleRate)
        : m_meter(channels, sampleRate)
    {
    }

    Status samples(const float *const *planes, int frames) override
    {
        m_meter.add(planes, frames);
        return Status::success();
    }

    void progress(int percent) override { printProgress(percent); }

    Loudness result() const { return m_meter.result(); }

private:
    LoudnessMeter m_meter;
};

// Copies the source's frames instead of encoding them: no second loss of quality, no growth.
Status copyFrames(const Options &options, const Mp3Scan &scan)
{
    OutputFile file(options.output);
    if (Status s = file.create(); !s.ok())
        return s;
    Mp3Meter meter;
    // A player drops what the kept info frame tells it to; without one, it plays every frame.
    if (!scan.infoFrame.empty() && scan.encoderDelay + scan.padding > 0) {
        meter.skip(scan.encoderDelay + kDecoderDelay);
        meter.setLength(scan.playedSamples());
    }
    if (measuring())
        file.observe([&meter](std::span<const unsigned char> bytes) { meter.add(bytes); });
    if (Status s = copyMp3(options.input, scan, file, printProgress); !s.ok())
        return s;
    if (Status s = file.commit(); !s.ok())
        return s;
    std::printf("copied %lld\n", static_cast<long long>(scan.averageBitrate() + 0.5));
    printLoudness(meter);
    printProgress(100);
    return Status::success();
}

} // namespace

bool copyFits(const Mp3Scan &scan, int bitrateKbps, bool mono)
{
    return scan.copyable && scan.frames > 0 && bitrateKbps > 0
        && scan.bitrateSum <= static_cast<std::uint64_t>(bitrateKbps) * scan.frames && (!mono || scan.allMono);
}

bool sameFile(const std::string &a, const std::string &b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

Status encodeFile(const Options &options)
{
    if (Status s = checkInput(options.input); !s.ok())
        return s;
    if (sameFile(options.input, options.output))
        return Status::fail(ExitCode::SameFile,
                            "input \"" + options.input + "\" and output \"" + options.output
                                + "\" are the same file; it is left as it is");

    AudioDecoder decoder;
    if (Status s = decoder.open(options.input); !s.ok())
        return s;
    // A gain asks for an output that much louder than the input: the samples are raised by the
    // loudness the encoding itself takes away too.
    if (options.gainGiven)
        decoder.setGain(static_cast<float>(std::pow(10.0, (options.gainDb + kEncodingLossDb) / 20.0)));

    // LAME encodes one or two channels; a mono source stays mono.
    const int channels = options.mono || decoder.sourceChannels() == 1 ? 1 : 2;
    const Mp3Format format = Mp3Encoder::chooseFormat(decoder.sourceSampleRate(), channels, options.bitrateKbps);
    if (format.sampleRate <= 0)
        return Status::fail(ExitCode::Failure,
                            "MP3 encoder: no output format for " + std::to_string(decoder.sourceSampleRate()) + " Hz at "
                                + std::to_string(options.bitrateKbps) + " kbit/s");

    // Nothing above LAME's low pass reaches the MP3: the resampler's passband ends a little
    // above it, and what the resampler folds back above it is gone too, so its stopband may
    // start that far beyond the new Nyquist frequency (it is measured as it is encoded, so
    // -measure too).
    if (format.lowpassTopHz > 0) {
        const double nyquist = format.sampleRate / 2.0;
        decoder.setPassband(1.1 * format.lowpassTopHz / nyquist, format.lowpassTopHz / nyquist);
    }

    if (options.measure) {
        MeasureListener measured(format.channels, format.sampleRate);
        if (Status s = decoder.run(format.sampleRate, format.channels, measured); !s.ok())
            return s;
        const Loudness result = measured.result();
        std::printf("%s\n%s\n", blocksLine(result).c_str(), loudnessLine(result).c_str());
        printProgress(100);
        return Status::success();
    }

    if (!options.reencode && decoder.isMp3File()) {
        Mp3Scan scan;
        if (Status s = scanMp3(options.input, scan); !s.ok())
            return s;
        if (copyFits(scan, format.bitrateKbps, options.mono))
            return copyFrames(options, scan);
    }

    OutputFile file(options.output);
    if (Status s = file.create(); !s.ok())
        return s;
    Mp3Meter meter;
    StreamFacts facts;
    // The meter hears what a player plays: from after the delays (known before the first byte
    // is written) to the last sample of the input.
    if (measuring())
        file.observe([&meter, &facts, started = false](std::span<const unsigned char> bytes) mutable {
            if (!started)
                meter.skip(facts.encoderDelay + kDecoderDelay);
            started = true;
            meter.add(bytes);
        });
    // Pieces of the input on every core (LAME, the larger part of the work, in parallel), or
    // with -1t the same pieces one after another on this thread: the same bytes either way.
    if (Status s = encodeInPieces(decoder, format, file, options.oneThread ? 0 : availableCores(), printProgress, PieceLayout{},
                                  &facts);
        !s.ok())
        return s;
    meter.setLength(facts.samples);
    if (Status s = file.commit(); !s.ok())
        return s;
    printLoudness(meter);
    printProgress(100);
    return Status::success();
}

} // namespace fastencc
