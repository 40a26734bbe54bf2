#pragma once

#include <QByteArray>
#include <QString>

namespace Sveltra {

// Makes a cover picture fit a portable player, over FFmpeg (decoding PNG, JPEG of any kind, GIF,
// BMP, WebP; scaling with libswscale) and libjpeg (writing). Pure functions, safe on any thread.
class CoverImage final
{
public:
    // The longer side of a cover as written, in pixels; a smaller picture is never enlarged.
    static constexpr int MaxSide = 500;
    // The JPEG quality the cover is stored with.
    static constexpr int Quality = 85;

    // What a JPEG file's header says: its size in pixels and whether it is baseline (the only
    // kind many players can show; progressive and other kinds are not). Zero sizes when the
    // bytes are no JPEG or its header is damaged.
    struct JpegFacts
    {
        int width = 0;
        int height = 0;
        bool baseline = false;
    };
    static JpegFacts ReadJpegFacts(const QByteArray &image);

    // The picture as a baseline JPEG at Quality whose longer side is at most MaxSide (a
    // transparent picture lies on white); the original itself when it already is a baseline JPEG
    // no larger than that and no bigger in bytes than its re-encoding. Empty, with the reason in
    // *error, when the picture cannot be decoded.
    static QByteArray MakeSmall(const QByteArray &image, QString *error = nullptr);
};

} // namespace Sveltra
