#pragma once

#include <QString>

namespace Sveltra {

// The settings file stores every section, key and value as decimal digits: each byte of the
// text's UTF-8 form, at 1-based position i, becomes the three digits of (byte + 500 + i mod 10).
// "abc" encodes to "598600602". ASCII text encodes exactly as older files did; any other
// character survives because it is carried byte by byte.
QString EncodeSetting(const QString &text);

// The inverse on three-digit groups. Input that is not such an encoding (an odd digit count,
// letters, a group whose code falls outside 0..255, bytes that are not UTF-8 text) cannot be
// decoded: *ok is set to false and the empty text returned. Blanks around the input are ignored.
QString DecodeSetting(const QString &encoded, bool *ok = nullptr);

} // namespace Sveltra
