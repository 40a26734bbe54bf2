#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "encoder/status.h"

namespace fastencc {

class OutputFile;

// An MP3 source that is already as small as the profile asks need not be encoded again: its
// frames are copied unchanged, without decoding, which keeps the file from growing and its
// sound from losing a generation. This walks the frames of a plain MP3 file (MPEG-1, 2 or 2.5
// layer III, after any ID3v2 tags) and copies them. Tags (ID3v2, ID3v1, APE, Lyrics3) are
// left behind: the caller writes fresh ones. A file made of MP3 files joined end to end (an
// audiobook, a podcast), each part with its own tags and perhaps its own info frame, is one
// stream with tags in between: every part's audio frames are copied, in order, without them.

// One frame header, decoded.
struct Mp3Header
{
    bool valid = false; // layer III, a bit rate from the table (not free format), a sample rate
    bool mpeg1 = false;
    int version = 0; // the header's version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int bitrateKbps = 0;
    int sampleRate = 0;
    bool mono = false;
    std::size_t size = 0; // of the whole frame, header and padding included

    // Whether frames with these headers can follow one another in one stream.
    bool sameStream(const Mp3Header &other) const { return version == other.version && sampleRate == other.sampleRate; }
};

Mp3Header parseMp3Header(std::uint32_t word);

// Four bytes read as one big-endian number, as MP3 headers and info tags store them.
inline std::uint32_t bigEndian32(const unsigned char *p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Bytes [start, end) of a file.
struct ByteRange
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t size() const { return end - start; }
    bool operator==(const ByteRange &) const = default;
};

// What scanMp3() learns of a file.
struct Mp3Scan
{
    bool copyable = false;        // runs of layer III frames of one stream, nothing but tags around them
    std::string why;              // when not copyable, the reason (for the log)
    std::uint64_t audioStart = 0; // first audio frame
    std::uint64_t audioEnd = 0;   // just past the last whole audio frame
    // The runs of audio frames between the tags, in order: one for a plain file, one per part
    // of a joined file (without the info frame a part may start with).
    std::vector<ByteRange> parts;
    std::uint64_t frames = 0;     // audio frames, an info frame not counted
    std::uint64_t bitrateSum = 0; // of all audio frames' bit rates, in kbit/s
    bool allMono = true;
    int sampleRate = 0;
    // The source's info frame (Xing, Info or VBRI), directly before audioStart, when it still
    // tells the truth about the frames copied: their count, the bytes and the music CRC. One
    // that does not (the file was cut or edited after encoding) is left out, and the copy is a
    // plain stream of frames like any file without one.
    std::vector<unsigned char> infoFrame;
    // What that info frame tells decoders to drop at the start and the end (0 without one).
    int encoderDelay = 0;
    int padding = 0;
    int frameSamples = 0; // samples of each channel in a frame

    // The samples a player plays of the copy.
    std::int64_t playedSamples() const { return static_cast<std::int64_t>(frames) * frameSamples - encoderDelay - padding; }

    // The average bit rate in bit/s: every frame of one stream lasts equally long, so this is
    // the mean of the frames' rates, and exactly the rate of a constant-bit-rate file.
    double averageBitrate() const { return frames ? 1000.0 * static_cast<double>(bitrateSum) / static_cast<double>(frames) : 0; }
};

// Whether frame (one whole MP3 frame) is an info frame (Xing, Info or VBRI) with empty side
// information, as encoders write them: it holds no audio, and where parts of a stream are
// joined, a part's own is left out.
bool isInfoFrame(std::span<const unsigned char> frame);

// Walks the file's frames without decoding them. A stream that is damaged inside (bytes that are
// no frame or tag between frames, frames of another version or sample rate, free-format frames)
// is not copyable: the decoder deals with damage, and encoding it gives a clean file. ID3v2,
// ID3v1, APE and Lyrics3 tags between frames join parts of one stream, and so does a part's own
// info frame; tags end the audio only where nothing but tags (or zero bytes) follows them. A
// last frame cut short is dropped, as no decoder could play it whole. Fails only when the file
// cannot be read.
Status scanMp3(const std::string &path, Mp3Scan &scan);

// The same over bytes in memory, for tests and for scanMp3() itself.
Mp3Scan scanMp3(std::span<const unsigned char> file);

// Writes the kept info frame and the audio frames of every part of a copyable scan into file, calling
// progress with the percentage copied.
Status copyMp3(const std::string &path, const Mp3Scan &scan, OutputFile &file, void (*progress)(int percent));

} // namespace fastencc
