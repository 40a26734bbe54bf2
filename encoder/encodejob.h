#pragma once

#include "encoder/commandline.h"
#include "encoder/status.h"

namespace fastencc {

// Converts options.input into an MP3 file at options.output, printing "progress N" lines on
// standard output. Checks the input and refuses an output that is the input before anything
// is written; on failure nothing is left at the output.
Status encodeFile(const Options &options);

// Whether two paths name one existing file, however spelled (links, "..", hard links).
bool sameFile(const std::string &a, const std::string &b);

} // namespace fastencc
