#include "gui/skin/imagelist.h"

#include <QFileInfo>

#include "core/i18n/language.h"

namespace Sveltra {

QString LocalizedPicture(const QString &path)
{
    if (CurrentInterfaceLanguage() != InterfaceLanguage::English)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return path;
    QString english = path;
    english.insert(slash + 1, QStringLiteral("en/"));
    return QFileInfo::exists(english) ? english : path;
}

QString ImageListPath(const QString &list, int index)
{
    return LocalizedPicture(QStringLiteral(":/%1/%2.png").arg(list).arg(index, 2, 10, QLatin1Char('0')));
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
