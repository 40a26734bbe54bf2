#include "core/sync/audiofingerprint.h"

#include <QCryptographicHash>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <memory>

#include "core/media/mediaprobe.h"

namespace Sveltra {

namespace {
struct FormatCloser
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct PacketFreer
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
} // namespace

std::optional<AudioFingerprint> ReadAudioFingerprint(const QString &path)
{
    QuietFfmpegLogs();
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return std::nullopt;
    std::unique_ptr<AVFormatContext, FormatCloser> context(raw);
    // The stream's parameters come from its headers; no packet is decoded to find them.
    if (avformat_find_stream_info(context.get(), nullptr) < 0)
        return std::nullopt;
    const int stream = av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        return std::nullopt;
    const AVRational timeBase = context->streams[stream]->time_base;
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    if (!packet)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    qint64 packets = 0;
    int64_t duration = 0;
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && packet->size > 0) {
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(packet->data), packet->size));
            ++packets;
            if (packet->duration > 0)
                duration += packet->duration;
        }
        av_packet_unref(packet.get());
    }
    if (packets == 0)
        return std::nullopt;
    AudioFingerprint print;
    print.hash = QString::fromLatin1(hash.result().left(16).toHex());
    print.durationMs = av_rescale_q(duration, timeBase, AVRational{1, 1000});
    return print;
}

} // namespace Sveltra
