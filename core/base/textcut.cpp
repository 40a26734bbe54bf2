#include "core/base/textcut.h"

#include <QTextBoundaryFinder>

namespace Sveltra {

QString CutText(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    return text.left(FittingLength(text, maxLength, [](QStringView piece) { return piece.size(); }));
}

qsizetype FittingLength(const QString &text, qsizetype budget, const std::function<qsizetype(QStringView)> &measure)
{
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype used = 0;
    qsizetype end = 0;
    for (qsizetype next = boundaries.toNextBoundary(); next > 0; next = boundaries.toNextBoundary()) {
        used += measure(QStringView(text).mid(end, next - end));
        if (used > budget)
            break;
        end = next;
    }
    if (end > 0 || budget <= 0)
        return end;
    // Not even the first character with its accents fits: cut between code points instead.
    used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        used += measure(QStringView(text).mid(i, width));
        if (used > budget)
            break;
        i += width;
        end = i;
    }
    return end;
}

} // namespace Sveltra
