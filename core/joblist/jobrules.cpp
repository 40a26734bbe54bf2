#include "core/joblist/jobrules.h"

#include <QCoreApplication>
#include <QDir>

namespace Sveltra {

QString FormatDuration(qint64 milliseconds)
{
    // Round half to even on whole seconds.
    qint64 seconds = milliseconds / 1000;
    const qint64 rest = milliseconds % 1000;
    if (rest > 500 || (rest == 500 && seconds % 2 != 0))
        ++seconds;
    else if (rest < -500 || (rest == -500 && seconds % 2 != 0))
        --seconds;
    const bool negative = seconds < 0;
    if (negative)
        seconds = -seconds;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return (negative ? QStringLiteral("-") : QString()) + two(seconds / 3600) + QLatin1Char(':') + two(seconds % 3600 / 60)
        + QLatin1Char(':') + two(seconds % 60);
}

QString GetFileName(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    return cut < 0 ? path : path.mid(cut + 1);
}

QString MediaType(const QString &path)
{
    return path.size() >= 5 ? path.right(3).toUpper() : QString();
}

QString RefusedFilesMessage(int count, const QString &firstName)
{
    if (count == 1)
        return QCoreApplication::translate("Sveltra::JobRules", "无法作为音频读取，未添加：%1").arg(firstName);
    return QCoreApplication::translate("Sveltra::JobRules", "%n 个文件无法作为音频读取，未添加：%2 等", nullptr, count)
        .arg(firstName);
}

QString UntitledPlaceholder()
{
    return QStringLiteral("Unknown");
}

} // namespace Sveltra
