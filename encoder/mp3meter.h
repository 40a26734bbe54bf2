#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "encoder/loudness.h"

namespace fastencc {

// Measures an MP3 stream from its bytes as they are written: FFmpeg's MP3 decoder turns the
// frames back into audio for a LoudnessMeter, so the figures are those of the file as a player
// hears it. Bytes that are no MP3 frame (the zeros kept for the info frame) and info frames are
// skipped.
class Mp3Meter final
{
public:
    Mp3Meter();
    ~Mp3Meter();
    Mp3Meter(const Mp3Meter &) = delete;
    Mp3Meter &operator=(const Mp3Meter &) = delete;

    // What a player drops of the decoded stream, as the info frame tells it: skip samples at
    // the start (the encoder's delay and the decoder's; call before add()), and all after
    // length samples (the padding; known at the end, so any time before finish()). Without
    // these, everything decoded counts.
    void skip(std::int64_t samples) { m_skip = samples; }
    void setLength(std::int64_t samples) { m_length = samples; }
    void add(std::span<const unsigned char> bytes);
    // Decodes what is still held and gives the result; false when nothing could be decoded.
    bool finish(Loudness &out);

private:
    struct Decoder;
    void decodePacket(const unsigned char *data, int size);
    void measure(const float *const *planes, int channels, int frames);
    void feed(std::int64_t frames);
    std::unique_ptr<Decoder> m_decoder;
    std::unique_ptr<LoudnessMeter> m_meter;
    std::int64_t m_skip = 0;
    std::int64_t m_length = -1;
    std::int64_t m_decoded = 0; // samples of each channel decoded so far
    std::int64_t m_fed = 0;     // of those after the skip, the ones the meter has
    // The last samples decoded, held back until it is known whether they are padding.
    std::vector<float> m_held[2];
};

// The delay of FFmpeg's MP3 decoder (and of most others) beyond the encoder's, in samples; a
// player drops it with the encoder's delay.
constexpr int kDecoderDelay = 529;

} // namespace fastencc
