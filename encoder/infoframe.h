#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fastencc {

// The info frame that opens a constant-bit-rate MP3 stream: an MP3 frame holding no audio but
// an "Info" tag (frame and byte counts, seek table) and the LAME extension (encoder delay and
// padding), so players show the exact length and decoders drop the delay and the padding. It is
// a frame at the stream's own bit rate where that frame holds the tag, as LAME writes it. Where
// it is too small (32 kbit/s and less), LAME writes none, and the output would play longer than
// its source; here the info frame is then a frame of the smallest bit rate that holds the tag.
// Decoders take it as they take any info frame, and the music's frames keep their own rate, so
// players that read no info frame still take the bit rate, and the length, from the first
// frame of music. LAME writes it for one encoder; the frame built here stands for it in a
// stream joined from pieces.

// CRC-16 as the LAME extension uses it (polynomial 0x8005, reflected, starting from crc).
std::uint16_t crc16(std::span<const unsigned char> bytes, std::uint16_t crc = 0);

struct InfoFrameFields
{
    std::uint32_t header = 0;      // the stream's first frame header; gives version, rate, mode
    std::uint32_t musicFrames = 0; // audio frames after the info frame
    std::uint32_t fileBytes = 0;   // the whole stream, info frame included
    std::uint16_t musicCrc = 0;    // crc16 of every byte after the info frame
    std::string encoder;           // short encoder name, at most 9 characters ("LAME3.100")
    int quality = 0;               // the Xing quality indicator
    int lowpassHz = 0;
    int athType = 0;
    int bitrateKbps = 0;
    int encoderDelay = 0;
    int padding = 0;
    int noiseShaping = 0;
    int sampleRate = 0; // the rate LAME was given (it says whether settings were unusual)
};

// Size of the frame that starts with header, padding included.
std::size_t frameSizeOf(std::uint32_t header);

// Size of the info frame for a stream whose frames start with header: a frame at its bit rate,
// or the smallest that holds the tag, without padding.
std::size_t infoFrameSize(std::uint32_t header);

// Whether a frame at the stream's own bit rate holds the tag (then LAME writes it itself).
bool frameHoldsInfoTag(std::uint32_t header);

// The complete frame, infoFrameSize(fields.header) bytes long.
std::vector<unsigned char> buildInfoFrame(const InfoFrameFields &fields);

} // namespace fastencc
