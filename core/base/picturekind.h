#pragma once

#include <QByteArray>

namespace Sveltra {

// What kind of picture bytes hold, told by the signature they start with.
enum class PictureKind { None, Jpeg, Png, Gif, Bmp, Webp };

PictureKind PictureKindOf(const QByteArray &bytes);

// The MIME type of a picture kind ("image/jpeg" ...); empty for None.
const char *PictureMimeType(PictureKind kind);

} // namespace Sveltra
