#include "core/base/tempfolder.h"

#include <QDir>

namespace Sveltra {

QString GetTempFolder()
{
    QString folder = QDir::toNativeSeparators(QDir::tempPath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace Sveltra
