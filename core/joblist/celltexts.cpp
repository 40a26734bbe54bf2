#include "core/joblist/celltexts.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace Sveltra {

QString CounterText(qint64 count)
{
    const QString text = QStringLiteral("000") + QString::number(count);
    return text.right(3);
}

QString GetFileSizeText(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return QStringLiteral(" ");
    return QLatin1Char(' ') + QString::number(info.size());
}

double NumericValue(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    bool point = false;
    while (i < text.size() && (text[i].isDigit() || (!point && text[i] == QLatin1Char('.')))) {
        point = point || text[i] == QLatin1Char('.');
        ++i;
    }
    bool ok = false;
    const double value = QStringView(text).mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

std::optional<qint64> RatioPercent(double targetSize, double sourceSize)
{
    if (sourceSize == 0.0)
        return std::nullopt;
    const double ratio = std::trunc(targetSize / sourceSize * 100.0);
    if (!std::isfinite(ratio) || std::fabs(ratio) > static_cast<double>(std::numeric_limits<qint64>::max() / 2))
        return std::nullopt;
    return static_cast<qint64>(ratio);
}

QString RatioText(qint64 percent)
{
    return (percent >= 0 ? QStringLiteral(" ") : QString()) + QString::number(percent) + QLatin1Char('%');
}

} // namespace Sveltra
