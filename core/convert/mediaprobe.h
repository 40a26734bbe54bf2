#pragma once

#include <QString>

namespace Sveltra {

// The play length of the first audio stream of a file in milliseconds, as FFmpeg's demuxers
// tell it; 0 when the file holds no audio FFmpeg can open. Used where TagLib gives no length.
qint64 ProbeDurationMs(const QString &path, QString *error = nullptr);

} // namespace Sveltra
