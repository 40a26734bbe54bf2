#include "core/media/coverimage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "core/base/picturekind.h"
#include "core/media/mediaprobe.h"

namespace Sveltra {

namespace {

// A cover larger than this many pixels is not decoded at all (its frame alone would take
// hundreds of megabytes); it is left out like a damaged one.
constexpr int MaxDecodedPixels = 40'000'000;

struct CodecCloser
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct FrameFree
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct PacketFree
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct ScalerFree
{
    void operator()(SwsContext *scaler) const { sws_freeContext(scaler); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

int byteAt(const QByteArray &data, qsizetype i)
{
    return static_cast<unsigned char>(data[i]);
}

int bigEndian16(const QByteArray &data, qsizetype i)
{
    return byteAt(data, i) << 8 | byteAt(data, i + 1);
}

// The decoder for a picture, by the signature it starts with.
AVCodecID codecOf(const QByteArray &image)
{
    switch (PictureKindOf(image)) {
    case PictureKind::Png:
        return AV_CODEC_ID_PNG;
    case PictureKind::Jpeg:
        return AV_CODEC_ID_MJPEG;
    case PictureKind::Gif:
        return AV_CODEC_ID_GIF;
    case PictureKind::Bmp:
        return AV_CODEC_ID_BMP;
    case PictureKind::Webp:
        return AV_CODEC_ID_WEBP;
    case PictureKind::None:
        break;
    }
    return AV_CODEC_ID_NONE;
}

FramePtr decode(const QByteArray &image, QString *error)
{
    const AVCodecID id = codecOf(image);
    const AVCodec *codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!codec) {
        *error = QStringLiteral("not a picture of a known kind");
        return nullptr;
    }
    std::unique_ptr<AVCodecContext, CodecCloser> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!context || !packet || !frame || av_new_packet(packet.get(), static_cast<int>(image.size())) < 0) {
        *error = QStringLiteral("out of memory");
        return nullptr;
    }
    context->thread_count = 1;
    context->max_pixels = MaxDecodedPixels;
    // A damaged picture is refused rather than shown half grey.
    context->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        *error = QStringLiteral("no decoder");
        return nullptr;
    }
    std::copy(image.begin(), image.end(), packet->data);
    int result = avcodec_send_packet(context.get(), packet.get());
    if (result >= 0)
        result = avcodec_send_packet(context.get(), nullptr);
    if (result >= 0 || result == AVERROR_EOF)
        result = avcodec_receive_frame(context.get(), frame.get());
    if (result < 0 || frame->width <= 0 || frame->height <= 0 || frame->decode_error_flags != 0) {
        *error = QStringLiteral("the picture cannot be decoded");
        return nullptr;
    }
    return frame;
}

// RGB pixels, three bytes each, rows of width * 3 bytes.
struct Pixels
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

bool scale(const AVFrame &frame, Pixels &out, QString *error)
{
    const int longer = std::max(frame.width, frame.height);
    out.width = frame.width;
    out.height = frame.height;
    if (longer > CoverImage::MaxSide) {
        out.width = std::max(1, (frame.width * CoverImage::MaxSide + longer / 2) / longer);
        out.height = std::max(1, (frame.height * CoverImage::MaxSide + longer / 2) / longer);
    }
    const auto source = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(source);
    const bool alpha = descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
    const int channels = alpha ? 4 : 3;
    std::unique_ptr<SwsContext, ScalerFree> scaler(
        sws_getContext(frame.width, frame.height, source, out.width, out.height, alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24,
                       SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!scaler) {
        *error = QStringLiteral("the picture's pixel format cannot be converted");
        return false;
    }
    std::vector<uint8_t> scaled(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * static_cast<size_t>(channels));
    uint8_t *planes[4] = {scaled.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {out.width * channels, 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) != out.height) {
        *error = QStringLiteral("the picture cannot be scaled");
        return false;
    }
    if (!alpha) {
        out.rgb = std::move(scaled);
        return true;
    }
    // A transparent picture lies on white, as a player's screen shows nothing behind it.
    out.rgb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
    for (size_t pixel = 0; pixel < out.rgb.size() / 3; ++pixel) {
        const unsigned a = scaled[pixel * 4 + 3];
        for (size_t c = 0; c < 3; ++c)
            out.rgb[pixel * 3 + c] = static_cast<uint8_t>((scaled[pixel * 4 + c] * a + 255U * (255U - a) + 127U) / 255U);
    }
    return true;
}

// libjpeg reports a fault by calling error_exit, which must not return: it jumps back here.
struct JpegWriter
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    std::jmp_buf failed{};
    unsigned char *buffer = nullptr;
    unsigned long size = 0;

    ~JpegWriter()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    std::longjmp(static_cast<JpegWriter *>(info->client_data)->failed, 1);
}

bool writeJpeg(JpegWriter &w, const Pixels &pixels)
{
    w.info.err = jpeg_std_error(&w.errors);
    w.errors.error_exit = jpegFailed;
    w.info.client_data = &w;
    if (setjmp(w.failed) != 0)
        return false;
    jpeg_create_compress(&w.info);
    jpeg_mem_dest(&w.info, &w.buffer, &w.size);
    w.info.image_width = static_cast<JDIMENSION>(pixels.width);
    w.info.image_height = static_cast<JDIMENSION>(pixels.height);
    w.info.input_components = 3;
    w.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&w.info);
    // Baseline: sequential, 8-bit, no progression (optimised Huffman tables stay baseline).
    jpeg_set_quality(&w.info, CoverImage::Quality, TRUE);
    w.info.optimize_coding = TRUE;
    jpeg_start_compress(&w.info, TRUE);
    const size_t stride = static_cast<size_t>(pixels.width) * 3;
    while (w.info.next_scanline < w.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.rgb.data() + w.info.next_scanline * stride);
        jpeg_write_scanlines(&w.info, &row, 1);
    }
    jpeg_finish_compress(&w.info);
    return true;
}

} // namespace

CoverImage::JpegFacts CoverImage::ReadJpegFacts(const QByteArray &image)
{
    if (!image.startsWith("\xff\xd8"))
        return {};
    qsizetype at = 2;
    while (at + 4 <= image.size()) {
        if (byteAt(image, at) != 0xFF)
            return {};
        const int marker = byteAt(image, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without a length
            at += 2;
            continue;
        }
        const int length = bigEndian16(image, at + 2);
        if (length < 2)
            return {};
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (length < 8 || at + 9 > image.size())
                return {};
            JpegFacts facts;
            facts.height = bigEndian16(image, at + 5);
            facts.width = bigEndian16(image, at + 7);
            facts.baseline = marker == 0xC0 && byteAt(image, at + 4) == 8;
            if (facts.width == 0 || facts.height == 0)
                return {};
            return facts;
        }
        if (marker == 0xDA || marker == 0xD9) // image data or its end before any frame header
            return {};
        at += 2 + length;
    }
    return {};
}

QByteArray CoverImage::MakeSmall(const QByteArray &image, QString *error)
{
    QuietFfmpegLogs();
    QString reason;
    QString *why = error ? error : &reason;
    const FramePtr frame = decode(image, why);
    if (!frame)
        return {};
    Pixels pixels;
    if (!scale(*frame, pixels, why))
        return {};
    JpegWriter writer;
    if (!writeJpeg(writer, pixels)) {
        *why = QStringLiteral("the picture cannot be written as JPEG");
        return {};
    }
    const JpegFacts original = ReadJpegFacts(image);
    if (original.baseline && std::max(original.width, original.height) <= MaxSide
        && image.size() <= static_cast<qsizetype>(writer.size))
        return image;
    return QByteArray(reinterpret_cast<const char *>(writer.buffer), static_cast<qsizetype>(writer.size));
}

} // namespace Sveltra
