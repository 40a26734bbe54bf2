#include "gui/skin/imagelist.h"

#include <QFileInfo>

namespace Sveltra {

QString ImageListPath(const QString &list, int index)
{
    return QStringLiteral(":/%1/%2.png").arg(list).arg(index, 2, 10, QLatin1Char('0'));
}

QIcon ImageListIcon(const QString &list, int index)
{
    const QString path = ImageListPath(list, index);
    if (index < 1 || !QFileInfo::exists(path))
        return {};
    return QIcon(path);
}

QPixmap ImageListPixmap(const QString &list, int index)
{
    const QString path = ImageListPath(list, index);
    if (index < 1 || !QFileInfo::exists(path))
        return {};
    return QPixmap(path);
}

} // namespace Sveltra
