#include "core/base/picturekind.h"

namespace Sveltra {

PictureKind PictureKindOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\xff\xd8\xff"))
        return PictureKind::Jpeg;
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return PictureKind::Png;
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return PictureKind::Gif;
    if (bytes.startsWith("BM"))
        return PictureKind::Bmp;
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return PictureKind::Webp;
    return PictureKind::None;
}

const char *PictureMimeType(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Jpeg:
        return "image/jpeg";
    case PictureKind::Png:
        return "image/png";
    case PictureKind::Gif:
        return "image/gif";
    case PictureKind::Bmp:
        return "image/bmp";
    case PictureKind::Webp:
        return "image/webp";
    case PictureKind::None:
        break;
    }
    return "";
}

} // namespace Sveltra
