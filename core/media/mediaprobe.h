#pragma once

#include <QString>

namespace Sveltra {

// The play length of the first audio stream of a file in milliseconds, as FFmpeg's demuxers
// tell it; 0 when the file holds no audio FFmpeg can open. Used where TagLib gives no length.
qint64 ProbeDurationMs(const QString &path, QString *error = nullptr);

// The play length of the first audio stream counted frame by frame from the data itself
// (demuxed, not decoded), so a file cut short reads short whatever its header claims; -1 when
// the file holds no audio FFmpeg can open. Safe on any thread.
qint64 CountedDurationMs(const QString &path, QString *error = nullptr);

// FFmpeg says nothing on the terminal: what goes wrong is returned and logged by its callers. Every
// user of FFmpeg's libraries in the program calls it before its first use. Safe on any thread.
void QuietFfmpegLogs();

} // namespace Sveltra
