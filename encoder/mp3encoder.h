#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "encoder/infoframe.h"
#include "encoder/status.h"

namespace fastencc {

// What LAME will make of a source: the sample rate it picks for the bit rate and channel count,
// and the bit rate it will really use (it rounds to what that sample rate allows).
struct Mp3Format
{
    int sampleRate = 0;
    int channels = 0;
    int bitrateKbps = 0;
    int lowpassTopHz = 0; // where LAME's low pass has taken everything away
};

// Constant-bit-rate MP3 encoding with libmp3lame. Takes planar float samples (-1..1) already
// at the output sample rate, so LAME's own resampler never runs. Where a frame at the bit rate
// can hold the info frame, the first frame of the output is LAME's placeholder for the one that
// infoFrame() returns at the end; else there is none (see infoframe.h).
// Not thread-safe; one encoder per output file.
class Mp3Encoder final
{
public:
    // Asks LAME which output format it chooses for this source; bitrateKbps 0 means LAME's
    // default bit rate. channels is what is encoded (1 or 2), after any downmix.
    static Mp3Format chooseFormat(int sourceRate, int channels, int bitrateKbps);

    Mp3Encoder();
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder &) = delete;
    Mp3Encoder &operator=(const Mp3Encoder &) = delete;

    // Without infoFrame the output is frames of audio only, with no room kept for an info
    // frame (for a piece of a stream that is joined to others).
    Status open(const Mp3Format &format, bool infoFrame = true);
    // Encodes frames samples of each plane (one plane for mono). The returned bytes are valid
    // until the next call; they may be empty while LAME collects a frame.
    Status encode(const float *const *planes, int frames, std::span<const unsigned char> &out);
    // The same for 16-bit samples (full scale 32768), which LAME takes as the floats s / 32768.
    Status encode(const std::int16_t *const *planes, int frames, std::span<const unsigned char> &out);
    // Encodes what LAME still holds, padding the last frame.
    Status flush(std::span<const unsigned char> &out);
    // The completed info frame that replaces the first bytes of the output; call after flush().
    // Empty if there is none.
    std::vector<unsigned char> infoFrame();
    // The info frame built here for the stream so far, as a stream joined from pieces gets it;
    // tests compare it with LAME's.
    std::vector<unsigned char> ownInfoFrame();
    // What the info frame says of the settings (all but the header, the counts, the CRC and
    // the padding), for a stream joined from pieces.
    InfoFrameFields settingsFields();

private:
    // Hands one of LAME's encoding calls (float or 16-bit) the samples and room for the output.
    template <typename Sample, typename LameCall>
    Status encodeWith(LameCall call, const Sample *const *planes, int frames, std::span<const unsigned char> &out);
    std::span<const unsigned char> account(int lameBytes);

    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::vector<unsigned char> m_buffer;
    int m_channels = 0;
    int m_sampleRate = 0;
    bool m_infoFrame = true; // the output starts with room for an info frame
    bool m_started = false;  // the first frame has been seen
    std::uint32_t m_header = 0;
    std::uint64_t m_bytes = 0;    // all output, info frame included
    std::size_t m_crcSkip = 0;    // bytes of LAME's placeholder frame still to come
    std::uint16_t m_musicCrc = 0; // of all output after the info frame
};

} // namespace fastencc
