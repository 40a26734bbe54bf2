#include "encoder/mp3encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

#include "encoder/infoframe.h"
#include "encoder/mp3copy.h"

namespace fastencc {

namespace {

constexpr int kQuality = 3;
// What LAME's info frame states for the noise shaping of kQuality.
constexpr int kNoiseShapingAtQuality = 2;

// LAME reports through printf-style callbacks onto stderr; the program prints its own one line.
void quiet(const char *, va_list)
{
}

struct LameDeleter
{
    void operator()(lame_global_flags *flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

// Configures flags for the encoding itself; the caller sets the input rate.
void configure(lame_global_flags *flags, int channels, int bitrateKbps)
{
    lame_set_errorf(flags, quiet);
    lame_set_debugf(flags, quiet);
    lame_set_msgf(flags, quiet);
    lame_set_num_channels(flags, channels);
    lame_set_mode(flags, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(flags, vbr_off);
    if (bitrateKbps > 0)
        lame_set_brate(flags, bitrateKbps);
    // Quality 3 is LAME's own default, and what the lame command and FFmpeg's libmp3lame use:
    // the same sound as either. Set here so a library with another default makes the same files.
    lame_set_quality(flags, kQuality);
    lame_set_bWriteVbrTag(flags, 1);
    lame_set_write_id3tag_automatic(flags, 0);
    lame_set_findReplayGain(flags, 0);
}

Status encoderError(const std::string &what, int code)
{
    return Status::fail(ExitCode::Failure, "MP3 encoder: " + what + " (LAME error " + std::to_string(code) + ")");
}

// Worst case of LAME's output for a number of samples, as lame.h states it.
std::size_t outputBound(int frames)
{
    return static_cast<std::size_t>(frames) * 5 / 4 + 7200;
}

} // namespace

struct Mp3Encoder::Handle
{
    LamePtr flags;
};

Mp3Format Mp3Encoder::chooseFormat(int sourceRate, int channels, int bitrateKbps)
{
    LamePtr probe(lame_init());
    if (!probe)
        return {};
    configure(probe.get(), channels, bitrateKbps);
    lame_set_in_samplerate(probe.get(), sourceRate);
    if (lame_init_params(probe.get()) < 0)
        return {};
    const int lowpass = lame_get_lowpassfreq(probe.get());
    const int top = lowpass > 0 ? lowpass + std::max(0, lame_get_lowpasswidth(probe.get())) : 0;
    return {lame_get_out_samplerate(probe.get()), channels, lame_get_brate(probe.get()), top};
}

Mp3Encoder::Mp3Encoder() = default;
Mp3Encoder::~Mp3Encoder() = default;

Status Mp3Encoder::open(const Mp3Format &format, bool infoFrame)
{
    m_handle = std::make_unique<Handle>();
    m_handle->flags.reset(lame_init());
    if (!m_handle->flags)
        return encoderError("cannot start", -2);
    lame_global_flags *flags = m_handle->flags.get();
    configure(flags, format.channels, format.bitrateKbps);
    lame_set_bWriteVbrTag(flags, infoFrame ? 1 : 0);
    m_infoFrame = infoFrame;
    lame_set_in_samplerate(flags, format.sampleRate);
    lame_set_out_samplerate(flags, format.sampleRate);
    if (const int rc = lame_init_params(flags); rc < 0)
        return encoderError("cannot encode " + std::to_string(format.sampleRate) + " Hz at " + std::to_string(format.bitrateKbps)
                                + " kbit/s",
                            rc);
    m_channels = format.channels;
    m_sampleRate = format.sampleRate;
    return Status::success();
}

Status Mp3Encoder::encode(const float *const *planes, int frames, std::span<const unsigned char> &out)
{
    return encodeWith(lame_encode_buffer_ieee_float, planes, frames, out);
}

Status Mp3Encoder::encode(const std::int16_t *const *planes, int frames, std::span<const unsigned char> &out)
{
    return encodeWith(lame_encode_buffer, planes, frames, out);
}

template <typename Sample, typename LameCall>
Status Mp3Encoder::encodeWith(LameCall call, const Sample *const *planes, int frames, std::span<const unsigned char> &out)
{
    const std::size_t bound = outputBound(frames);
    if (m_buffer.size() < bound)
        m_buffer.resize(bound);
    const Sample *right = m_channels > 1 ? planes[1] : planes[0];
    const int n = call(m_handle->flags.get(), planes[0], right, frames, m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (n < 0)
        return encoderError("encoding failed", n);
    out = account(n);
    return Status::success();
}

Status Mp3Encoder::flush(std::span<const unsigned char> &out)
{
    const std::size_t bound = outputBound(0);
    if (m_buffer.size() < bound)
        m_buffer.resize(bound);
    const int n = lame_encode_flush(m_handle->flags.get(), m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (n < 0)
        return encoderError("finishing failed", n);
    out = account(n);
    return Status::success();
}

std::span<const unsigned char> Mp3Encoder::account(int lameBytes)
{
    const auto size = static_cast<std::size_t>(lameBytes);
    if (m_infoFrame && !m_started && size >= 4) {
        // LAME's first frame tells the stream's format, and whether it is LAME's placeholder
        // for its own info frame (there is one when that frame holds the tag).
        m_started = true;
        m_header = bigEndian32(m_buffer.data());
        if (frameHoldsInfoTag(m_header))
            m_crcSkip = frameSizeOf(m_header);
    }
    // The music CRC covers everything after the info frame; a piece of a joined stream has
    // none of its own (the joined stream's is counted as it is written).
    if (m_infoFrame) {
        const std::size_t skip = std::min(m_crcSkip, size);
        m_crcSkip -= skip;
        m_musicCrc = crc16(std::span(m_buffer.data() + skip, size - skip), m_musicCrc);
    }
    m_bytes += size;
    return {m_buffer.data(), size};
}

std::vector<unsigned char> Mp3Encoder::infoFrame()
{
    if (!m_infoFrame || !frameHoldsInfoTag(m_header))
        return {};
    std::vector<unsigned char> frame(2880); // larger than any MP3 frame
    const std::size_t n = lame_get_lametag_frame(m_handle->flags.get(), frame.data(), frame.size());
    frame.resize(n <= frame.size() ? n : 0);
    return frame;
}

std::vector<unsigned char> Mp3Encoder::ownInfoFrame()
{
    lame_global_flags *flags = m_handle->flags.get();
    InfoFrameFields fields = settingsFields();
    fields.header = m_header;
    fields.musicFrames = static_cast<std::uint32_t>(lame_get_frameNum(flags));
    fields.fileBytes = static_cast<std::uint32_t>(m_bytes);
    fields.musicCrc = m_musicCrc;
    fields.padding = lame_get_encoder_padding(flags);
    return buildInfoFrame(fields);
}

InfoFrameFields Mp3Encoder::settingsFields()
{
    lame_global_flags *flags = m_handle->flags.get();
    InfoFrameFields fields;
    fields.encoder = get_lame_very_short_version();
    fields.quality = 100 - 10 * lame_get_VBR_q(flags) - lame_get_quality(flags);
    fields.lowpassHz = lame_get_lowpassfreq(flags);
    fields.athType = lame_get_ATHtype(flags);
    fields.bitrateKbps = lame_get_brate(flags);
    fields.encoderDelay = lame_get_encoder_delay(flags);
    fields.noiseShaping = kNoiseShapingAtQuality;
    fields.sampleRate = m_sampleRate;
    return fields;
}

} // namespace fastencc
