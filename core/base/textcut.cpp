#include "core/base/textcut.h"

#include <QTextBoundaryFinder>

namespace Sveltra {

QString CutText(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    boundaries.setPosition(maxLength);
    qsizetype end = boundaries.isAtBoundary() ? maxLength : boundaries.toPreviousBoundary();
    if (end <= 0) {
        // One character longer than the whole length: cut between code points.
        end = maxLength;
        if (end > 0 && text.at(end - 1).isHighSurrogate())
            --end;
    }
    return text.left(end);
}

} // namespace Sveltra
