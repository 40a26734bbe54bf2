#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace Sveltra {

// An image list is a resource folder of numbered pictures, 1-based: ":/toolbar/01.png" is the
// first picture of the toolbar list. A picture that does not exist gives a null icon or
// pixmap, so an index outside the list shows nothing instead of failing.
QString ImageListPath(const QString &list, int index);

// The picture in the interface's language: pictures that carry words have an English twin in an
// en/ folder beside them (":/option/en/background.png" for ":/option/background.png"), taken
// when the interface is English; every other picture is the same in both languages.
QString LocalizedPicture(const QString &path);
QIcon ImageListIcon(const QString &list, int index);
QPixmap ImageListPixmap(const QString &list, int index);

} // namespace Sveltra
