#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace Sveltra {

// An image list is a resource folder of numbered pictures, 1-based: ":/toolbar/01.png" is the
// first picture of the toolbar list. A picture that does not exist gives a null icon or
// pixmap, so an index outside the list shows nothing instead of failing.
QString ImageListPath(const QString &list, int index);
QIcon ImageListIcon(const QString &list, int index);
QPixmap ImageListPixmap(const QString &list, int index);

} // namespace Sveltra
