#include "core/cd/drivelist.h"

#include <QDir>
#include <QFileInfo>

namespace Sveltra {

const CdDriveList::Drive &CdDriveList::at(int index) const
{
    static const Drive none;
    return index >= 1 && index <= count() ? m_drives.at(index - 1) : none;
}

int CdDriveList::indexFor(const QString &folder) const
{
    if (folder.isEmpty())
        return 0;
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).name == path || m_drives.at(i).name == folder)
            return i + 1;
    }
    return 0;
}

int CdDriveList::holding(const QString &name, const DiscToc &disc) const
{
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).name == name && m_drives.at(i).toc == disc)
            return i + 1;
    }
    return 0;
}

int CdDriveList::openImage(const QString &cuePath, QString *error)
{
    const QString path = QDir::cleanPath(QFileInfo(cuePath).absoluteFilePath());
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).name == path)
            return i + 1;
    }
    if (!IsCueSheetName(path)) {
        *error = path + QStringLiteral(" is no .cue sheet");
        return 0;
    }
    const DiscToc toc = ReadDiscToc(path, error);
    if (toc.trackCount() == 0)
        return 0;
    m_drives.append(Drive{path, toc, {}, {}, {}});
    return count();
}

bool CdDriveList::refresh(int index, QString *error)
{
    Drive *drive = find(index);
    if (!drive) {
        *error = QStringLiteral("no drive selected");
        return false;
    }
    const DiscToc toc = ReadDiscToc(drive->name, error);
    if (!(toc == drive->toc)) {
        drive->names = DiscNames();
        drive->cover.clear();
        drive->coverRelease.clear();
    }
    drive->toc = toc;
    return toc.trackCount() > 0;
}

} // namespace Sveltra
