#pragma once

#include <QString>

#include <optional>

namespace Sveltra {

// What a sync knows of a source's audio without decoding it: a hash of the packets of its first
// audio stream as the demuxer hands them over (tags, covers and the container's headers are not
// packets, so editing them leaves the hash as it was), and the play length the packets add up to.
struct AudioFingerprint
{
    QString hash; // 32 hex digits
    qint64 durationMs = 0;
};

// Reads the file once, demuxing only; nothing when FFmpeg cannot open it or it has no audio.
// Safe on any thread.
std::optional<AudioFingerprint> ReadAudioFingerprint(const QString &path);

} // namespace Sveltra
