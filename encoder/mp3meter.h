#pragma once

#include <memory>
#include <span>

#include "encoder/loudness.h"

namespace fastencc {

// Measures an MP3 stream from its bytes as they are written: FFmpeg's MP3 decoder turns the
// frames back into audio for a LoudnessMeter, so the figures are those of the file as a player
// hears it. Bytes that are no MP3 frame (the zeros kept for the info frame) are skipped.
class Mp3Meter final
{
public:
    Mp3Meter();
    ~Mp3Meter();
    Mp3Meter(const Mp3Meter &) = delete;
    Mp3Meter &operator=(const Mp3Meter &) = delete;

    void add(std::span<const unsigned char> bytes);
    // Decodes what is still held and gives the result; false when nothing could be decoded.
    bool finish(Loudness &out);

private:
    struct Decoder;
    void decodePacket(const unsigned char *data, int size);
    std::unique_ptr<Decoder> m_decoder;
    std::unique_ptr<LoudnessMeter> m_meter;
};

} // namespace fastencc
