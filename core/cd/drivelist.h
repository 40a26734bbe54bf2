#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "core/cd/cddrive.h"
#include "core/cd/discnames.h"

namespace Sveltra {

// The CD component's numbered drives (1-based: the machine's drives, then every image opened),
// each with the disc information, names and cover last read for it. Plain value.
class CdDriveList
{
public:
    struct Drive
    {
        QString name; // the device path or the .cue image's path
        DiscToc toc;
        DiscNames names;
        QByteArray cover;
        QString coverRelease; // the release whose cover was fetched or is being fetched
    };

    void add(const QString &name) { m_drives.append(Drive{name, {}, {}, {}, {}}); }
    int count() const { return int(m_drives.size()); }
    // The drive numbered index; an empty one (no name, no disc) when there is none.
    const Drive &at(int index) const;
    Drive *find(int index) { return index >= 1 && index <= count() ? &m_drives[index - 1] : nullptr; }
    // The number of the drive whose name is folder (as given or made absolute); 0 when none is.
    int indexFor(const QString &folder) const;
    // The number of the drive still named name with disc in it (events may have run since it
    // was read); 0 when there is none.
    int holding(const QString &name, const DiscToc &disc) const;

    // Opens a .cue sheet as one more drive and reads its table of contents: its number, the
    // number it already had, or 0 with the reason in error.
    int openImage(const QString &cuePath, QString *error);
    // Reads the disc of drive index again; its names and cover are dropped when the disc
    // changed. False, with the reason in error, when no disc could be read.
    bool refresh(int index, QString *error);

private:
    QList<Drive> m_drives;
};

} // namespace Sveltra
