#include "encoder/audiodecoder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "encoder/channelmix.h"
#include "encoder/mp3copy.h"
#include "encoder/resamplerfilter.h"
#include "encoder/safesamples.h"

namespace fastencc {

namespace {

// FFmpeg's error tags are built with C casts; these spell the same values without them.
constexpr int errorTag(char a, char b, char c, char d)
{
    return -static_cast<int>(static_cast<unsigned>(a) | (static_cast<unsigned>(b) << 8) | (static_cast<unsigned>(c) << 16)
                             | (static_cast<unsigned>(d) << 24));
}
constexpr int kErrorEof = errorTag('E', 'O', 'F', ' ');
constexpr int kErrorInvalidData = errorTag('I', 'N', 'D', 'A');
constexpr int kErrorAgain = -EAGAIN;

// Samples per channel handed to the listener at once: large enough that per-call costs vanish,
// small enough to stay in the cache.
constexpr int kBatchFrames = AudioDecoder::kMaxBatchFrames;

// The resampler's widest passband, as a fraction of the new Nyquist frequency.
constexpr double kPassband = 0.97;

// What FFmpeg reads of a 16-bit PCM WAV to tell whether it holds a compressed stream.
constexpr int64_t kWavProbeBytes = 32 * 1024;

// The most channels a source may have: beyond this the resampler takes none, and a header that
// claims more is damaged rather than a recording.
constexpr int kMaxChannels = 63;

// Below this, a sample rate is a damaged header: no recording is made so, and encoding it would
// stretch a small file into hundreds of megabytes of MP3.
constexpr int kMinSampleRate = 1000;

// A file whose packets fail this often, with hardly a good frame among them, is not audio of
// the kind its header claims (random bytes under an audio name) rather than a damaged file.
constexpr int kMaxBadPacketsBeforeJudging = 64;
constexpr int kBadPacketsPerGoodFrame = 4;

struct FormatDeleter
{
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecDeleter
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct SwrDeleter
{
    void operator()(SwrContext *c) const { swr_free(&c); }
};
struct PacketDeleter
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameDeleter
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// Owns an AVChannelLayout, which may hold allocated memory for custom orders.
struct ChannelLayout
{
    AVChannelLayout layout{};
    ChannelLayout() = default;
    ~ChannelLayout() { av_channel_layout_uninit(&layout); }
    ChannelLayout(const ChannelLayout &) = delete;
    ChannelLayout &operator=(const ChannelLayout &) = delete;

    // A copy of source; one without a known order (a WAV without channel mask) gets the usual
    // layout for its channel count, so downmixing knows which channel is which.
    void assign(const AVChannelLayout &source)
    {
        av_channel_layout_uninit(&layout);
        if (source.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&source) == 0)
            av_channel_layout_default(&layout, source.nb_channels);
        else
            av_channel_layout_copy(&layout, &source);
    }
};

std::string errorText(int code)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return text.data();
}

} // namespace

struct AudioDecoder::State
{
    std::string path;
    FormatPtr format;
    CodecPtr codec;
    AVStream *stream = nullptr;
    int64_t durationTs = 0; // in stream time base; 0 when the container does not say
    int64_t startTs = 0;
    int64_t fileSize = 0;

    // Conversion to the output format, rebuilt when the decoded format changes mid-stream.
    SwrPtr swr;
    // Where the output has fewer channels than the source and another rate, the channels are
    // mixed down first, at the source's rate, into mixed (so the filter runs on the channels
    // kept, not on every source channel as one context would), and swr only resamples.
    SwrPtr mix;
    std::array<std::vector<float>, 2> mixed;
    int inFormat = -1;
    int inRate = 0;
    ChannelLayout inLayout;
    int pieceFrames = 0; // input frames per swr_convert call, so its output always fits
    std::vector<const uint8_t *> inPointers;

    int outRate = 0;
    int outChannels = 0;
    std::array<std::vector<float>, 2> planes;
    int filled = 0;
    float gain = 1.0f;
    double passband = kPassband;
    double stopband = 1.0;

    int lastPercent = -1;
    int64_t badPackets = 0;
    int64_t goodFrames = 0;
    int64_t framesOut = 0;

    Status inputError(const std::string &why) const { return Status::fail(ExitCode::BadInput, "input \"" + path + "\": " + why); }

    Status deliver(DecodeListener &listener)
    {
        if (filled == 0)
            return Status::success();
        // The resampler overshoots full scale on loud material; the listener gets -1..1.
        for (int c = 0; c < outChannels; ++c) {
            if (gain != 1.0f)
                for (int i = 0; i < filled; ++i)
                    planes[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] *= gain;
            makeSafe(planes[static_cast<std::size_t>(c)].data(), static_cast<std::size_t>(filled));
        }
        const std::array<const float *, 2> pointers{planes[0].data(), planes[1].data()};
        framesOut += filled;
        const int count = filled;
        filled = 0;
        return listener.samples(pointers.data(), count);
    }

    std::array<uint8_t *, 2> outPointers()
    {
        return {reinterpret_cast<uint8_t *>(planes[0].data() + filled), reinterpret_cast<uint8_t *>(planes[1].data() + filled)};
    }

    // Empties the resampler's delay line into the batch (end of stream or a format change).
    Status drainResampler(DecodeListener &listener)
    {
        if (!swr)
            return Status::success();
        for (;;) {
            if (filled == kBatchFrames) {
                if (Status s = deliver(listener); !s.ok())
                    return s;
            }
            auto out = outPointers();
            const int got = swr_convert(swr.get(), out.data(), kBatchFrames - filled, nullptr, 0);
            if (got < 0)
                return Status::fail(ExitCode::Failure, "resampling failed: " + errorText(got));
            if (got == 0)
                return Status::success();
            filled += got;
        }
    }

    // A new context from (layout, format, rate) to outChannels planar floats at outRate, into
    // context: where the rate changes, with the polyphase filter where it is short, else the
    // SoX resampler, else libswresample's own with its default filter (a library built without
    // libsoxr), each on a context of its own. matrix, when given, is the downmix to use.
    // Returns FFmpeg's error code; context stays empty on failure.
    int makeContext(SwrPtr &context, AVChannelLayout &layout, int sampleFormat, int rate, int toRate,
                    const std::vector<double> *matrix)
    {
        ChannelLayout outLayout;
        av_channel_layout_default(&outLayout.layout, outChannels);
        const std::optional<PolyphaseFilter> polyphase = polyphaseFilter(rate, toRate, passband, stopband);
        const std::array engines = polyphase ? std::array{SWR_ENGINE_SWR, SWR_ENGINE_SOXR}
                                             : std::array{SWR_ENGINE_SOXR, SWR_ENGINE_SWR};
        int rc = 0;
        for (const SwrEngine engine : engines) {
            context.reset();
            SwrContext *raw = nullptr;
            rc = swr_alloc_set_opts2(&raw, &outLayout.layout, AV_SAMPLE_FMT_FLTP, toRate, &layout,
                                     static_cast<AVSampleFormat>(sampleFormat), rate, 0, nullptr);
            context.reset(raw);
            if (rc < 0)
                continue;
            if (matrix) {
                rc = swr_set_matrix(context.get(), matrix->data(), layout.nb_channels);
                if (rc < 0)
                    continue;
            } else {
                // Scale the downmix so that full-scale channels summed never exceed full scale;
                // the default matrix adds stereo at -3 dB per side and clips loud material.
                av_opt_set_double(context.get(), "rematrix_maxval", 1.0, 0);
            }
            // The SoX resampler: its stopband starts at the new Nyquist frequency and is deep,
            // so nothing above it folds back as aliasing, at a cost that hardly grows as its
            // transition band narrows. Its passband reaches 97% of the way, beyond the low-pass
            // LAME applies at every bit rate, so it takes nothing away that LAME would keep. The
            // polyphase filter, where it is short, costs less.
            av_opt_set_int(context.get(), "resampler", engine, 0);
            av_opt_set_double(context.get(), "cutoff", passband, 0);
            if (engine == SWR_ENGINE_SWR && polyphase) {
                av_opt_set_double(context.get(), "cutoff", polyphase->cutoff, 0);
                av_opt_set_int(context.get(), "filter_size", polyphase->size, 0);
                av_opt_set_int(context.get(), "filter_type", SWR_FILTER_TYPE_KAISER, 0);
                av_opt_set_double(context.get(), "kaiser_beta", polyphase->beta, 0);
                av_opt_set_int(context.get(), "exact_rational", 1, 0);
                av_opt_set_int(context.get(), "linear_interp", 0, 0);
            }
            rc = swr_init(context.get());
            if (rc >= 0)
                return rc;
        }
        context.reset();
        return rc;
    }

    // The conversion from inLayout to outChannels: one context, or a downmix at the source's
    // rate (mix) and a resampler of the channels kept (swr). matrix, when given, is the downmix
    // to use. Returns FFmpeg's error code; both stay empty on failure.
    int makeResampler(const std::vector<double> *matrix)
    {
        mix.reset();
        swr.reset();
        if (outChannels >= inLayout.layout.nb_channels || inRate == outRate)
            return makeContext(swr, inLayout.layout, inFormat, inRate, outRate, matrix);
        int rc = makeContext(mix, inLayout.layout, inFormat, inRate, inRate, matrix);
        if (rc >= 0) {
            ChannelLayout mixedLayout;
            av_channel_layout_default(&mixedLayout.layout, outChannels);
            rc = makeContext(swr, mixedLayout.layout, AV_SAMPLE_FMT_FLTP, inRate, outRate, nullptr);
        }
        if (rc < 0) {
            mix.reset();
            swr.reset();
        }
        return rc;
    }

    Status configureResampler(const AVFrame &frame, DecodeListener &listener)
    {
        if (swr && frame.format == inFormat && frame.sample_rate == inRate
            && frame.ch_layout.nb_channels == inLayout.layout.nb_channels) {
            ChannelLayout current;
            current.assign(frame.ch_layout);
            if (av_channel_layout_compare(&current.layout, &inLayout.layout) == 0)
                return Status::success();
        }
        if (Status s = drainResampler(listener); !s.ok())
            return s;
        swr.reset();

        if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0)
            return inputError("the decoder gave audio without a sample rate or channels");
        if (frame.sample_rate < kMinSampleRate || frame.ch_layout.nb_channels > kMaxChannels)
            return inputError("not audio: " + std::to_string(frame.ch_layout.nb_channels) + " channels at "
                              + std::to_string(frame.sample_rate) + " Hz");
        inFormat = frame.format;
        inRate = frame.sample_rate;
        inLayout.assign(frame.ch_layout);

        // The resampler's own downmix where it has one; else one of ours. A context whose set-up
        // failed is never set up again: it holds freed memory.
        int rc = makeResampler(nullptr);
        if (rc < 0 && inLayout.layout.nb_channels > outChannels) {
            const std::vector<double> matrix = downmixMatrix(inLayout.layout, outChannels);
            rc = makeResampler(&matrix);
        }
        if (rc < 0)
            return inputError("cannot convert its audio of " + std::to_string(inLayout.layout.nb_channels) + " channels at "
                              + std::to_string(inRate) + " Hz: " + errorText(rc));

        pieceFrames = std::max<int64_t>(1, int64_t{kBatchFrames / 2} * inRate / outRate);
        if (mix) {
            for (auto &plane : mixed)
                plane.resize(static_cast<std::size_t>(pieceFrames));
        }
        inPointers.assign(av_sample_fmt_is_planar(static_cast<AVSampleFormat>(inFormat)) ? inLayout.layout.nb_channels : 1,
                          nullptr);
        return Status::success();
    }

    Status convert(AVFrame &frame, DecodeListener &listener)
    {
        if (!makeFrameSafe(frame))
            return Status::fail(ExitCode::Failure, "out of memory");
        if (Status s = configureResampler(frame, listener); !s.ok())
            return s;
        const auto sampleFormat = static_cast<AVSampleFormat>(frame.format);
        const int bytesPerFrame = av_get_bytes_per_sample(sampleFormat)
            * (av_sample_fmt_is_planar(sampleFormat) ? 1 : frame.ch_layout.nb_channels);
        for (int offset = 0; offset < frame.nb_samples;) {
            const int count = std::min(frame.nb_samples - offset, pieceFrames);
            for (std::size_t c = 0; c < inPointers.size(); ++c)
                inPointers[c] = frame.extended_data[c] + std::ptrdiff_t{offset} * bytesPerFrame;
            const uint8_t **in = inPointers.data();
            int inCount = count;
            std::array<const uint8_t *, 2> mixedPointers{};
            if (mix) {
                std::array<uint8_t *, 2> to{reinterpret_cast<uint8_t *>(mixed[0].data()),
                                            reinterpret_cast<uint8_t *>(mixed[1].data())};
                inCount = swr_convert(mix.get(), to.data(), pieceFrames, in, count);
                if (inCount < 0)
                    return Status::fail(ExitCode::Failure, "mixing down failed: " + errorText(inCount));
                mixedPointers = {to[0], to[1]};
                in = mixedPointers.data();
            }
            if (filled + swr_get_out_samples(swr.get(), inCount) > kBatchFrames) {
                if (Status s = deliver(listener); !s.ok())
                    return s;
            }
            auto out = outPointers();
            const int got = swr_convert(swr.get(), out.data(), kBatchFrames - filled, in, inCount);
            if (got < 0)
                return Status::fail(ExitCode::Failure, "resampling failed: " + errorText(got));
            filled += got;
            offset += count;
        }
        return Status::success();
    }

    // Takes every frame the decoder has ready.
    Status receiveFrames(AVFrame *frame, DecodeListener &listener)
    {
        for (;;) {
            const int rc = avcodec_receive_frame(codec.get(), frame);
            if (rc == kErrorAgain || rc == kErrorEof)
                return Status::success();
            if (rc < 0) {
                ++badPackets;
                return Status::success();
            }
            ++goodFrames;
            Status s = convert(*frame, listener);
            av_frame_unref(frame);
            if (!s.ok())
                return s;
        }
    }

    void reportProgress(const AVPacket &packet, DecodeListener &listener)
    {
        int64_t percent = -1;
        if (durationTs > 0 && packet.pts != AV_NOPTS_VALUE)
            percent = (packet.pts - startTs) * 100 / durationTs;
        else if (fileSize > 0 && packet.pos >= 0)
            percent = packet.pos * 100 / fileSize;
        percent = std::clamp<int64_t>(percent, -1, 99);
        if (percent > lastPercent) {
            lastPercent = static_cast<int>(percent);
            listener.progress(lastPercent);
        }
    }
};

AudioDecoder::AudioDecoder()
    : m_state(std::make_unique<State>())
{
    av_log_set_level(AV_LOG_QUIET);
}

AudioDecoder::~AudioDecoder() = default;

int AudioDecoder::sourceSampleRate() const
{
    return m_state->codec ? m_state->codec->sample_rate : 0;
}

int AudioDecoder::sourceChannels() const
{
    return m_state->codec ? m_state->codec->ch_layout.nb_channels : 0;
}

bool AudioDecoder::isMp3File() const
{
    const State &st = *m_state;
    return st.format && st.stream && std::string_view(st.format->iformat->name) == "mp3"
        && st.stream->codecpar->codec_id == AV_CODEC_ID_MP3;
}

bool AudioDecoder::deeperThan16Bits() const
{
    const State &st = *m_state;
    if (!st.codec)
        return false;
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(st.codec->codec_id);
    const bool lossy = !descriptor || (descriptor->props & AV_CODEC_PROP_LOSSY);
    return !lossy && av_get_bytes_per_sample(st.codec->sample_fmt) > 2;
}

Status AudioDecoder::open(const std::string &path)
{
    State &st = *m_state;
    st.path = path;

    // "file:" keeps names such as "http:x.mp3" or "concat:a|b" plain files, and the whitelist
    // keeps playlists from reaching anything but local files.
    AVDictionary *openOptions = nullptr;
    av_dict_set(&openOptions, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    AVFormatContext *rawFormat = nullptr;
    int rc = avformat_open_input(&rawFormat, url.c_str(), nullptr, &openOptions);
    av_dict_free(&openOptions);
    if (rc == -ENOENT || rc == -EACCES || rc == -EIO || rc == -EISDIR || rc == -ENOMEM)
        return st.inputError(errorText(rc));
    if (rc < 0)
        return st.inputError("not an audio file FFmpeg can read (" + errorText(rc) + ")");
    st.format.reset(rawFormat);

    // A 16-bit PCM WAV may really hold a compressed stream (DTS or AC-3 in S/PDIF frames, as
    // DTS discs are ripped): reading the stream's facts, FFmpeg tries every format's probe on
    // its first packets, on ever more of them. 32 KiB hold several frames of any such stream,
    // and cost a quarter of what the default 128 KiB cost (the probe is a fifth of encoding a
    // short file at a low bit rate).
    if (std::string_view(st.format->iformat->name) == "wav" && st.format->nb_streams > 0
        && std::all_of(st.format->streams, st.format->streams + st.format->nb_streams,
                       [](const AVStream *s) { return s->codecpar->codec_id == AV_CODEC_ID_PCM_S16LE; }))
        st.format->probesize = kWavProbeBytes;
    rc = avformat_find_stream_info(st.format.get(), nullptr);
    if (rc < 0)
        return st.inputError("cannot read the stream information: " + errorText(rc));

    for (unsigned i = 0; i < st.format->nb_streams; ++i) {
        AVStream *s = st.format->streams[i];
        const bool wanted = !st.stream && s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO
            && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (wanted)
            st.stream = s;
        else
            s->discard = AVDISCARD_ALL;
    }
    if (!st.stream)
        return st.inputError("holds no audio stream");

    const AVCodecParameters *par = st.stream->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder)
        return st.inputError(std::string("no decoder for its audio (") + avcodec_get_name(par->codec_id) + ")");
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return st.inputError("not an audio file FFmpeg can decode (no sample rate or channels)");
    if (par->sample_rate < kMinSampleRate || par->ch_layout.nb_channels > kMaxChannels)
        return st.inputError("not audio: its header claims " + std::to_string(par->ch_layout.nb_channels) + " channels at "
                             + std::to_string(par->sample_rate) + " Hz");

    st.codec.reset(avcodec_alloc_context3(decoder));
    if (!st.codec)
        return Status::fail(ExitCode::Failure, "out of memory");
    rc = avcodec_parameters_to_context(st.codec.get(), par);
    if (rc < 0)
        return st.inputError("cannot set up its decoder: " + errorText(rc));
    st.codec->pkt_timebase = st.stream->time_base;
    rc = avcodec_open2(st.codec.get(), decoder, nullptr);
    if (rc < 0)
        return st.inputError(std::string("cannot open its decoder (") + decoder->name + "): " + errorText(rc));

    if (st.stream->duration != AV_NOPTS_VALUE && st.stream->duration > 0) {
        st.durationTs = st.stream->duration;
        st.startTs = st.stream->start_time != AV_NOPTS_VALUE ? st.stream->start_time : 0;
    } else if (st.format->duration > 0) {
        st.durationTs = av_rescale_q(st.format->duration, AVRational{1, AV_TIME_BASE}, st.stream->time_base);
        st.startTs = st.stream->start_time != AV_NOPTS_VALUE ? st.stream->start_time : 0;
    }
    st.fileSize = st.format->pb ? avio_size(st.format->pb) : 0;
    return Status::success();
}

void AudioDecoder::setPassband(double fraction, double removedAbove)
{
    m_state->passband = std::clamp(fraction, 0.5, kPassband);
    // What lies above 2 - removedAbove folds back below removedAbove and is heard; what lies
    // between the Nyquist frequency and that folds back into the band the encoder removes.
    m_state->stopband = std::max(1.0, 2.0 - removedAbove);
}

void AudioDecoder::setGain(float gain)
{
    m_state->gain = gain;
}

Status AudioDecoder::run(int sampleRate, int channels, DecodeListener &listener)
{
    State &st = *m_state;
    st.outRate = sampleRate;
    st.outChannels = channels;
    for (auto &plane : st.planes)
        plane.assign(kBatchFrames, 0.0f);

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return Status::fail(ExitCode::Failure, "out of memory");

    for (;;) {
        int rc = av_read_frame(st.format.get(), packet.get());
        if (rc == kErrorEof || rc == kErrorInvalidData)
            break; // garbage after the last packet ends the stream, as in any player
        if (rc < 0)
            return st.inputError("read error: " + errorText(rc));
        if (packet->stream_index != st.stream->index) {
            av_packet_unref(packet.get());
            continue;
        }
        st.reportProgress(*packet, listener);
        // An info frame amid an MP3 stream is the start of a part joined onto it; it holds no
        // audio, though a decoder would play it as a frame of silence.
        if (st.stream->codecpar->codec_id == AV_CODEC_ID_MP3
            && isInfoFrame(std::span<const unsigned char>(packet->data, static_cast<std::size_t>(packet->size)))) {
            av_packet_unref(packet.get());
            continue;
        }
        rc = avcodec_send_packet(st.codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (rc < 0 && rc != kErrorAgain)
            ++st.badPackets;
        if (Status s = st.receiveFrames(frame.get(), listener); !s.ok())
            return s;
        if (st.badPackets >= kMaxBadPacketsBeforeJudging && st.badPackets > kBadPacketsPerGoodFrame * st.goodFrames)
            return st.inputError("cannot be decoded (mostly damaged or not " + std::string(st.codec->codec->name) + " audio)");
    }

    avcodec_send_packet(st.codec.get(), nullptr);
    if (Status s = st.receiveFrames(frame.get(), listener); !s.ok())
        return s;
    if (Status s = st.drainResampler(listener); !s.ok())
        return s;
    if (Status s = st.deliver(listener); !s.ok())
        return s;
    if (st.framesOut == 0)
        return st.inputError("holds no decodable audio");
    return Status::success();
}

} // namespace fastencc
