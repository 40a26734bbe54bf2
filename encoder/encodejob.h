#pragma once

#include "encoder/commandline.h"
#include "encoder/status.h"

namespace fastencc {

struct Mp3Scan;

// Converts options.input into an MP3 file at options.output, printing "progress N" lines on
// standard output. Checks the input and refuses an output that is the input before anything
// is written; on failure nothing is left at the output. An MP3 source that copyFits() the
// output is copied frame by frame instead, announced by a line "copied BITS_PER_SECOND"
// before the last progress line (unless options.reencode).
Status encodeFile(const Options &options);

// Whether an MP3 source's frames can stand for the output at bitrateKbps (what the encoder
// would use): a clean stream whose average bit rate is at or below it and, for a mono output,
// mono already (a stereo source must be encoded to be downmixed). The sample rate does not
// matter: a lower bit rate at another rate is still the smaller file.
bool copyFits(const Mp3Scan &scan, int bitrateKbps, bool mono);

// Whether two paths name one existing file, however spelled (links, "..", hard links).
bool sameFile(const std::string &a, const std::string &b);

} // namespace fastencc
