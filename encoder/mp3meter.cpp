#include "encoder/mp3meter.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "encoder/mp3copy.h"

namespace fastencc {

struct Mp3Meter::Decoder
{
    AVCodecParserContext *parser = nullptr;
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;

    ~Decoder()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        if (parser)
            av_parser_close(parser);
    }
};

Mp3Meter::Mp3Meter()
    : m_decoder(std::make_unique<Decoder>())
{
    Decoder &d = *m_decoder;
    // The floating-point decoder, as players use: its samples go to the meter unconverted.
    const AVCodec *codec = avcodec_find_decoder_by_name("mp3float");
    if (!codec)
        codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    d.parser = av_parser_init(AV_CODEC_ID_MP3);
    d.codec = codec ? avcodec_alloc_context3(codec) : nullptr;
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.parser || !d.codec || !d.packet || !d.frame || avcodec_open2(d.codec, codec, nullptr) < 0)
        m_decoder.reset(); // nothing is measured; finish() says so
}

Mp3Meter::~Mp3Meter() = default;

namespace {

// Samples held back: more than the padding LAME adds after the last sample (under two frames).
constexpr std::size_t kHeld = 4096;

} // namespace

void Mp3Meter::feed(std::int64_t frames)
{
    if (m_length >= 0)
        frames = std::min(frames, m_length - m_fed);
    if (frames > 0 && m_meter) {
        const float *planes[2] = {m_held[0].data(), m_held[1].data()};
        m_meter->add(planes, static_cast<int>(frames));
        m_fed += frames;
    }
}

void Mp3Meter::measure(const float *const *planes, int channels, int frames)
{
    // Samples before m_skip are never played.
    const std::int64_t start = m_decoded;
    m_decoded += frames;
    const std::int64_t from = std::max(start, m_skip);
    if (from >= m_decoded)
        return;
    const auto offset = static_cast<std::size_t>(from - start);
    const auto count = static_cast<std::size_t>(m_decoded - from);
    for (int c = 0; c < 2; ++c) {
        const float *p = planes[std::min(c, channels - 1)] + offset;
        m_held[c].insert(m_held[c].end(), p, p + count);
    }
    if (m_held[0].size() >= 2 * kHeld) {
        const std::size_t ready = m_held[0].size() - kHeld;
        feed(static_cast<std::int64_t>(ready));
        for (auto &held : m_held)
            held.erase(held.begin(), held.begin() + static_cast<long>(ready));
    }
}

void Mp3Meter::decodePacket(const unsigned char *data, int size)
{
    Decoder &d = *m_decoder;
    if (data && isInfoFrame(std::span(data, static_cast<std::size_t>(size))))
        return; // no audio, though a decoder would give a frame of silence
    d.packet->data = const_cast<unsigned char *>(data);
    d.packet->size = size;
    // A frame the decoder refuses is skipped; it counts as silence for the measurement.
    if (avcodec_send_packet(d.codec, data ? d.packet : nullptr) < 0)
        return;
    while (avcodec_receive_frame(d.codec, d.frame) == 0) {
        const int channels = d.frame->ch_layout.nb_channels;
        if (d.frame->format == AV_SAMPLE_FMT_FLTP && channels >= 1 && channels <= 2) {
            if (!m_meter)
                m_meter = std::make_unique<LoudnessMeter>(channels, d.frame->sample_rate);
            const float *planes[2] = {reinterpret_cast<const float *>(d.frame->extended_data[0]),
                                      reinterpret_cast<const float *>(d.frame->extended_data[channels - 1])};
            measure(planes, channels, d.frame->nb_samples);
        }
        av_frame_unref(d.frame);
    }
}

void Mp3Meter::add(std::span<const unsigned char> bytes)
{
    if (!m_decoder)
        return;
    Decoder &d = *m_decoder;
    const unsigned char *data = bytes.data();
    int left = static_cast<int>(bytes.size());
    while (left > 0) {
        std::uint8_t *frame = nullptr;
        int frameSize = 0;
        const int used = av_parser_parse2(d.parser, d.codec, &frame, &frameSize, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return;
        data += used;
        left -= used;
        if (frameSize > 0)
            decodePacket(frame, frameSize);
    }
}

bool Mp3Meter::finish(Loudness &out)
{
    if (!m_decoder)
        return false;
    Decoder &d = *m_decoder;
    std::uint8_t *frame = nullptr;
    int frameSize = 0;
    av_parser_parse2(d.parser, d.codec, &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (frameSize > 0)
        decodePacket(frame, frameSize);
    decodePacket(nullptr, 0);
    if (!m_meter)
        return false;
    feed(static_cast<std::int64_t>(m_held[0].size()));
    m_held[0].clear();
    m_held[1].clear();
    out = m_meter->result();
    return true;
}

} // namespace fastencc
