#include "core/media/mediaprobe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <memory>

namespace Sveltra {

namespace {
struct FormatCloser
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
} // namespace

qint64 ProbeDurationMs(const QString &path, QString *error)
{
    QuietFfmpegLogs();
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr) < 0) {
        if (error)
            *error = QStringLiteral("not a media file FFmpeg can open");
        return 0;
    }
    FormatPtr context(raw);
    if (avformat_find_stream_info(context.get(), nullptr) < 0) {
        if (error)
            *error = QStringLiteral("no stream information");
        return 0;
    }
    const int stream = av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0) {
        if (error)
            *error = QStringLiteral("no audio stream");
        return 0;
    }
    const AVStream *audio = context->streams[stream];
    if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0)
        return av_rescale_q(audio->duration, audio->time_base, AVRational{1, 1000});
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return av_rescale(context->duration, 1000, AV_TIME_BASE);
    if (error)
        *error = QStringLiteral("unknown play length");
    return 0;
}

qint64 CountedDurationMs(const QString &path, QString *error)
{
    QuietFfmpegLogs();
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr) < 0) {
        if (error)
            *error = QStringLiteral("not a media file FFmpeg can open");
        return -1;
    }
    FormatPtr context(raw);
    const int stream = avformat_find_stream_info(context.get(), nullptr) < 0
        ? -1
        : av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0) {
        if (error)
            *error = QStringLiteral("no audio stream");
        return -1;
    }
    // The packets read for the stream information are kept and come first from av_read_frame.
    const AVRational base = context->streams[stream]->time_base;
    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return -1;
    int64_t total = 0;
    while (av_read_frame(context.get(), packet) >= 0) {
        // A frame cut off by the end of the file is not audio a player can decode.
        if (packet->stream_index == stream && packet->duration > 0 && !(packet->flags & AV_PKT_FLAG_CORRUPT))
            total += packet->duration;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return av_rescale_q(total, base, AVRational{1, 1000});
}

void QuietFfmpegLogs()
{
    av_log_set_level(AV_LOG_QUIET);
}

} // namespace Sveltra
