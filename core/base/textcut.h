#pragma once

#include <QString>

namespace Sveltra {

// The longest text any one field taken from outside (a CDDB reply, a file's tag) may hold.
inline constexpr qsizetype MaxFieldLength = 1024;

// text cut to at most maxLength UTF-16 units, never inside a user-perceived character (a letter
// keeps its accents) nor between the halves of a surrogate pair.
QString CutText(const QString &text, qsizetype maxLength = MaxFieldLength);

} // namespace Sveltra
