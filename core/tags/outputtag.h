#pragma once

#include "core/media/mediatag.h"

namespace Sveltra {

class AudioInformation;

// Sets everything a finished file's tag carries on the tag writer: the source's own tags (read
// whole) mapped for the output with the run's values winning, the year, the front cover made
// small, the rerun mark and the user texts. The software note is the caller's.
void PrepareOutputTag(AudioInformation &writer, const MediaTag &tag);

// Writes the tag of a finished conversion into the MP3 file at path: every tag of its source with
// the row's title, album, artist and year winning, the year as a number, the front cover made
// small, the software note (see PrepareOutputTag). False, with the reason in error, when it cannot.
// The file is written in place: callers hand it a file that has not taken its name yet. Safe on
// any thread.
bool SetMP3Tag(const QString &path, const MediaTag &tag, QString *error = nullptr);

} // namespace Sveltra
