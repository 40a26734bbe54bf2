#include "core/convert/mediaprobe.h"

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
    av_log_set_level(AV_LOG_QUIET);
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

} // namespace Sveltra
