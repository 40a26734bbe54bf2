#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

namespace Sveltra {

// One entry of a folder that the file system does not hold (a CD drive's track).
struct VirtualEntry
{
    QString name;         // the file name, such as "Track03.cda"
    qint64 bytes = -1;    // how much data the entry stands for (a track's audio); -1 when unknown
    qint64 lengthMs = -1; // the play length; -1 when the entry has none
};

// Folders that the file system does not hold as folders: a CD drive, or a disc image shown as
// a folder of its tracks. The file list lists and sorts what the provider claims like folders,
// whatever the pattern, and opens them like folders. When it shows such a folder it lists the
// provider's entries instead of the file system's; the entries' paths are the folder, the
// separator and the entry's name (/dev/sr0/Track03.cda). The folder tree shows rootFolders()
// above the file system's root. Set with FileListView::setVirtualFolderProvider and
// FolderTreeView::setVirtualFolderProvider; the provider outlives both. The provider's owner
// tells the tree when rootFolders() changes (FolderTreeView::refreshVirtualFolders).
class VirtualFolderProvider
{
public:
    virtual ~VirtualFolderProvider() = default;
    // True when path names one of the provider's folders (a drive or an image file).
    virtual bool isVirtualFolder(const QString &path) const = 0;
    // The entries the folder holds now, in the provider's order.
    virtual QList<VirtualEntry> entries(const QString &folder) = 0;
    // The folders shown at the top of the folder tree ('/'-separated paths), in order.
    virtual QStringList rootFolders() const { return {}; }
    // The name under which the tree shows one of rootFolders(); the file name unless told.
    virtual QString folderDisplayName(const QString &folder) const
    {
        const QString name = QFileInfo(folder).fileName();
        return name.isEmpty() ? folder : name;
    }
};

} // namespace Sveltra
