#pragma once

#include <QString>

#include <functional>

namespace Sveltra {

// The longest text any one field taken from outside (a CDDB reply, a file's tag) may hold.
inline constexpr qsizetype MaxFieldLength = 1024;

// text cut to at most maxLength UTF-16 units, never inside a user-perceived character (a letter
// keeps its accents) nor between the halves of a surrogate pair.
QString CutText(const QString &text, qsizetype maxLength = MaxFieldLength);

// The longest start of text whose size, as measure counts it, is at most budget, ending between
// user-perceived characters; when not even the first of those fits, between code points. Its
// length in UTF-16 units. measure must add up over consecutive pieces (UTF-16 units, bytes of
// an encoding).
qsizetype FittingLength(const QString &text, qsizetype budget, const std::function<qsizetype(QStringView)> &measure);

} // namespace Sveltra
