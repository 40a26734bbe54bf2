#pragma once

#include <string>
#include <vector>

#include "encoder/status.h"

namespace fastencc {

// What the command line asks for.
struct Options
{
    std::string input;
    std::string output;
    bool mono = false;      // -dm: downmix to one channel
    int bitrateKbps = 0;    // -br BITS_PER_SECOND, in kbit/s; 0 leaves LAME's default
    bool oneThread = false; // -1t: decode and encode the pieces on one thread (when several run at once)
    bool reencode = false;  // -reencode: encode an MP3 source even when its frames could be copied
    double gainDb = 0.0;    // -gain DB: the output plays DB louder than the input
    bool gainGiven = false; // -gain was given (the samples are then raised by the encoding's loss too)
    bool measure = false;   // -measure: only measure the input's loudness (one path, no output)
    bool help = false;      // -h / --help: print the usage and do nothing else
    bool version = false;   // -V / --version: print the program's version and do nothing else
};

struct ParseResult
{
    Status status; // ExitCode::Usage with a one-line reason when the command line is wrong
    Options options;
};

// Parses the arguments after the program name. With -measure only INPUT is given. Options may come before, between or after the
// two paths. An argument that is not a known option is a path, so paths may start with a dash;
// "--" makes every later argument a path.
ParseResult parseCommandLine(const std::vector<std::string> &args);

// The text -h prints: synopsis, options and exit codes.
std::string usageText();

// The line --version prints: "fastencc " and the version of the program it belongs to.
std::string versionText();

} // namespace fastencc
