#pragma once

#include "core/convert/mediatag.h"

namespace Sveltra {

class AudioInformation;

// Sets everything a finished file's tag carries on the tag writer: the source's own tags (read
// whole) mapped for the output with the run's values winning, the year, the front cover made
// small, the rerun mark and the user texts. The software note is the caller's.
void PrepareOutputTag(AudioInformation &writer, const MediaTag &tag);

} // namespace Sveltra
