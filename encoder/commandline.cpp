#include "encoder/commandline.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "encoder/gainrange.h"

namespace fastencc {

namespace {

// Bit rates MP3 can carry at any sample rate lie between these; LAME rounds a rate in between
// to the nearest one its output sample rate allows.
constexpr long kMinBitrate = 8000;
constexpr long kMaxBitrate = 320000;

Status usageError(std::string text)
{
    return Status::fail(ExitCode::Usage, std::move(text) + " (fastencc --help shows the usage)");
}

} // namespace

ParseResult parseCommandLine(const std::vector<std::string> &args)
{
    ParseResult result;
    Options &o = result.options;
    std::vector<std::string> paths;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded) {
            paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
            return result;
        } else if (arg == "-V" || arg == "--version") {
            o.version = true;
            return result;
        } else if (arg == "-reencode") {
            o.reencode = true;
        } else if (arg == "-measure") {
            o.measure = true;
        } else if (arg == "-gain") {
            const std::string text = i + 1 < args.size() ? args[++i] : std::string();
            char *end = nullptr;
            const double value = text.empty() ? NAN : std::strtod(text.c_str(), &end);
            if (!std::isfinite(value) || end != text.c_str() + text.size() || std::abs(value) > kMaxGainDb) {
                result.status = usageError("-gain \"" + text + "\" is not a gain in dB from -40 to 40");
                return result;
            }
            o.gainDb = value;
            o.gainGiven = true;
        } else if (arg == "-dm") {
            o.mono = true;
        } else if (arg == "-1t") {
            o.oneThread = true;
        } else if (arg == "-br") {
            if (i + 1 >= args.size()) {
                result.status = usageError("-br needs a bit rate in bits per second");
                return result;
            }
            const std::string &text = args[++i];
            long value = 0;
            const char *first = text.data();
            const char *last = first + text.size();
            const auto [end, ec] = std::from_chars(first, last, value);
            if (text.empty() || ec != std::errc() || end != last || value < kMinBitrate || value > kMaxBitrate) {
                result.status = usageError("-br \"" + text + "\" is not a bit rate from " + std::to_string(kMinBitrate) + " to "
                                           + std::to_string(kMaxBitrate) + " bits per second");
                return result;
            }
            o.bitrateKbps = static_cast<int>((value + 500) / 1000);
        } else if (arg.size() > 1 && arg[0] == '-' && paths.size() >= (o.measure ? 1U : 2U)) {
            // Both paths are known, so this can only be meant as an option.
            result.status = usageError("unknown option \"" + arg + "\"");
            return result;
        } else {
            paths.push_back(arg);
        }
    }

    if (o.measure) {
        if (paths.size() != 1 || paths[0].empty()) {
            result.status = usageError(paths.empty() ? "-measure needs INPUT" : "-measure takes INPUT alone");
            return result;
        }
        o.input = paths[0];
        return result;
    }
    if (paths.size() != 2) {
        result.status = usageError(paths.size() < 2 ? "INPUT and OUTPUT are both needed"
                                                    : "too many arguments: \"" + paths[2] + "\"");
        return result;
    }
    if (paths[0].empty() || paths[1].empty()) {
        result.status = usageError("an empty path was given");
        return result;
    }
    o.input = paths[0];
    o.output = paths[1];
    return result;
}

std::string usageText()
{
    return "Usage: fastencc INPUT OUTPUT [-dm] [-br BITS_PER_SECOND] [-1t] [-reencode] [-gain DB]\n"
           "       fastencc -measure INPUT [-dm] [-br BITS_PER_SECOND] [-gain DB]\n"
           "\n"
           "Encodes the first audio stream of INPUT (any format FFmpeg reads) into a\n"
           "constant-bit-rate MP3 file at OUTPUT. The sample rate is the one LAME picks\n"
           "for the bit rate and channel count; a mono source stays mono. OUTPUT appears\n"
           "only when complete (written in its folder without a name, or under a\n"
           "temporary one where the file system cannot, then renamed).\n"
           "\n"
           "An MP3 file (MPEG layer III, known by its content, not its name) whose\n"
           "average bit rate is at or below the one OUTPUT would get is not encoded\n"
           "again, as that would only make it larger and lose quality: its frames are\n"
           "copied unchanged (with -dm only when it is mono already), of every part when\n"
           "it is made of files joined end to end. Its tags are not\n"
           "copied; its info frame is, when it still holds for the frames copied. A\n"
           "file damaged inside is always encoded.\n"
           "\n"
           "The audio is cut into pieces of 600 MP3 frames (16 to 43 seconds), encoded\n"
           "at once (one per core) and joined frame by frame into one stream. The\n"
           "pieces are the same on every machine and with -1t, so OUTPUT depends only\n"
           "on INPUT and the options.\n"
           "\n"
           "Options (before or after the paths):\n"
           "  -dm                  downmix to mono\n"
           "  -br BITS_PER_SECOND  bit rate from 8000 to 320000, for example 96000; LAME\n"
           "                       rounds it to one MP3 allows (default: LAME's choice,\n"
           "                       128000 stereo, 64000 mono)\n"
           "  -1t                  work on one thread, encoding the pieces one after\n"
           "                       another; for when several encoders run at once\n"
           "                       (by default every core encodes a piece)\n"
           "  -reencode            always encode, also an MP3 whose frames could be copied\n"
           "  -gain DB             make OUTPUT play DB decibels louder than INPUT (-40 to\n"
           "                       40, for example -3.5): the audio is multiplied by DB\n"
           "                       and by the 0.43 dB that MP3 encoding takes from music's\n"
           "                       loudness, before encoding; what would pass full scale is\n"
           "                       clipped. Copied frames stay as they are.\n"
           "  -measure             only measure INPUT as it would be encoded (after -dm and\n"
           "                       -gain, at OUTPUT's sample rate) and print its loudness line\n"
           "  -h, --help           show this text\n"
           "  -V, --version        show the version\n"
           "  --                   every later argument is a path\n"
           "\n"
           "Standard output carries lines \"progress N\" (N from 0 to 100, the last one\n"
           "100 on success), and, when the frames were copied instead of encoded, one\n"
           "line \"copied BITS_PER_SECOND\" (the source's average bit rate, rounded)\n"
           "just before the last \"progress 100\".\n"
           "\n"
           "Before the last \"progress 100\" comes the line \"loudness LUFS DBTP SECONDS\":\n"
           "the EBU R128 integrated loudness, the true peak (dB of full scale,\n"
           "oversampled to 192 kHz or more) and the length of OUTPUT as a player plays\n"
           "it (without the encoder's delay and padding), with two decimals\n"
           "(\"loudness -14.45 -0.52 240.02\"); silence gives \"-inf\" for both levels.\n"
           "Just before it comes \"loudness-blocks BIN:COUNT,...\": the 400 ms blocks above\n"
           "-70 LUFS counted in bins of 0.1 LU from -70 LUFS, to measure several outputs\n"
           "as one programme (an album).\n"
           "The line is left out when OUTPUT cannot be measured.\n"
           "\n"
           "Exit status:\n"
           "  0    the MP3 file is complete at OUTPUT\n"
           "  1    the encoder failed\n"
           "  2    usage error\n"
           "  3    INPUT is missing, unreadable, not audio or cannot be decoded\n"
           "  4    OUTPUT cannot be written (folder missing or read-only, disk full ...)\n"
           "  5    INPUT and OUTPUT are the same file\n"
           "  128+N  stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP); 143 also\n"
           "       when the process that started it ends first\n"
           "Any other signal that ends a program, a crash included, ends it by that signal.\n"
           "On failure nothing is written at OUTPUT (a file already there stays as it was)\n"
           "and no temporary file is left behind, however the program ends (SIGKILL aside).\n";
}

std::string versionText()
{
    return std::string("fastencc ") + FASTENCC_VERSION + "\n";
}

} // namespace fastencc
