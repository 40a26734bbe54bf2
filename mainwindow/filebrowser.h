#pragma once

#include <QAbstractProxyModel>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include <optional>

#include "mainwindow/filepattern.h"

class QFileIconProvider;
class QFileSystemModel;
class QStandardItemModel;

namespace Sveltra {

class FileListFilter;
class FileListView;

// One entry of the file list, as the selection walk and ItemActivated hand it out.
class FileItem final
{
public:
    FileItem() = default;
    FileItem(const QString &path, bool folder)
        : m_path(path)
        , m_folder(folder)
    {
    }

    // The full path, folder and file name, with the platform's separators.
    const QString &Path() const { return m_path; }
    bool isFolder() const { return m_folder; }

private:
    QString m_path;
    bool m_folder = false;
};

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
    virtual QString folderDisplayName(const QString &folder) const;
};

// The file list `XListView1`: the files and sub-folders of one folder, folders first, then by
// name; only files whose names match FilePattern are listed. Several items can be selected;
// dragging them out carries their paths as file URLs (so both the job list and a file manager
// take them). Opening a folder (double click, Enter) shows it; opening a file raises
// ItemActivated. Backspace and Alt+Up show the parent folder. User-interface thread only.
class FileListView final : public QTreeView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);
    ~FileListView() override;

    QString FilePattern() const { return m_pattern.text(); }
    void setFilePattern(const QString &pattern);

    // The folder shown, with the platform's separators. Setting a folder that does not exist
    // (or an empty text) shows the home folder instead; the reason goes to the log.
    QString FolderPath() const;
    void setFolderPath(const QString &path);

    // The selection walk in the list's order. FirstSelected starts it over from the current
    // selection; NextSelected gives the item after the one most recently returned, or nothing
    // after the last.
    std::optional<FileItem> FirstSelected();
    std::optional<FileItem> NextSelected();

    // The item a row of the view stands for.
    std::optional<FileItem> itemAt(const QModelIndex &index) const;
    // Selects the entries of the current folder with these file names (tests, keyboard
    // helpers); names not listed are ignored.
    void selectNames(const QStringList &names);

    void setVirtualFolderProvider(VirtualFolderProvider *provider);

signals:
    // A file was opened (double click or Enter). The item is the one opened; the program adds
    // the whole selection.
    void ItemActivated(const Sveltra::FileItem &item);
    // The folder shown changed (by setFolderPath, or by opening a folder in the list).
    void folderPathChanged(const QString &path);
    // The file system finished reading the folder shown.
    void folderLoaded(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void openIndex(const QModelIndex &index);
    void showParentFolder();

    QFileSystemModel *m_fsModel = nullptr;
    QStandardItemModel *m_virtualModel = nullptr;
    FileListFilter *m_filter = nullptr;
    QFileIconProvider *m_icons = nullptr;
    VirtualFolderProvider *m_provider = nullptr;
    Sveltra::FilePattern m_pattern{QStringLiteral("*.*")};
    QString m_folder; // '/'-separated, cleaned
    QStringList m_walk;
    QList<bool> m_walkFolders;
    qsizetype m_walkNext = 0;
};

// A tree model with folders put on top: first the folders set here, each a row without
// children, then the rows of the source model, whose changes are passed on with its top-level
// rows moved down by the number of folders. The folder tree puts the CD drives above the file
// system with it. A folder row's FilePathRole (QFileSystemModel's) is its '/'-separated path.
// The source outlives the model; its internal pointers must tell its top-level rows from the
// rows below them (as those of QFileSystemModel and QStandardItemModel do).
class FolderTreeModel final : public QAbstractProxyModel
{
    Q_OBJECT

public:
    struct Folder
    {
        QString path; // '/'-separated
        QString name; // as shown
        QIcon icon;
    };

    FolderTreeModel(QAbstractItemModel *source, QObject *owner = nullptr);

    // Replaces the folder rows. Leading rows whose paths stay where they were are kept (with the
    // current item and selection on them); the rest are removed and the new ones inserted.
    void setFolders(const QList<Folder> &folders);
    const QList<Folder> &folders() const { return m_folders; }
    // The row of the folder with this path, invalid when there is none; the path of a folder row.
    QModelIndex folderIndex(const QString &path) const;
    QString folderPath(const QModelIndex &index) const;
    bool isFolder(const QModelIndex &index) const { return index.isValid() && index.internalPointer() == folderTag(); }

    QModelIndex mapFromSource(const QModelIndex &source) const override;
    QModelIndex mapToSource(const QModelIndex &proxy) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // The folders keep their order; the source sorts its own rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void *folderTag() const { return const_cast<FolderTreeModel *>(this); }
    // The row of a source row under the source parent.
    int shifted(const QModelIndex &sourceParent, int row) const;
    void sourceLayoutAboutToChange(const QList<QPersistentModelIndex> &parents, QAbstractItemModel::LayoutChangeHint hint);
    void sourceLayoutChanged(const QList<QPersistentModelIndex> &parents, QAbstractItemModel::LayoutChangeHint hint);
    QList<QPersistentModelIndex> mappedParents(const QList<QPersistentModelIndex> &parents) const;

    QAbstractItemModel *m_source;
    QList<Folder> m_folders;
    QModelIndexList m_layoutProxies;
    QList<QPersistentModelIndex> m_layoutSources;
};

// The folder tree `XTreeView1`: the provider's drives and disc images at the top, then the
// folders of the file system from its root. With a linked file list, choosing a folder here
// shows it there, and the tree follows the list when the list's folder changes by other means.
// User-interface thread only.
class FolderTreeView final : public QTreeView
{
    Q_OBJECT

public:
    explicit FolderTreeView(QWidget *parent = nullptr);
    ~FolderTreeView() override;

    FileListView *LinkedFileView() const { return m_linked; }
    void setLinkedFileView(FileListView *list);

    // Shows the provider's rootFolders() at the top of the tree (none without a provider).
    void setVirtualFolderProvider(VirtualFolderProvider *provider);
    // Reads rootFolders() again, e.g. after a disc image was opened; the folder shown stays.
    void refreshVirtualFolders();

    // Selects and reveals the folder without sending it to the linked list again.
    void showFolder(const QString &path);
    // The folder of the current item, with the platform's separators; empty when none.
    QString currentFolder() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void folderChosen(const QModelIndex &current);
    void reveal(const QModelIndex &index);
    QModelIndex indexOfFolder(const QString &folder) const;
    QString folderOf(const QModelIndex &index) const;

    QFileSystemModel *m_fsModel = nullptr;
    FolderTreeModel *m_model = nullptr;
    QFileIconProvider *m_icons = nullptr;
    VirtualFolderProvider *m_provider = nullptr;
    QPointer<FileListView> m_linked;
    QMetaObject::Connection m_linkConnection;
    QString m_pendingReveal;
    bool m_parentLoaded = false;
    QTimer m_revealTimer;
    bool m_following = false;
};

} // namespace Sveltra

Q_DECLARE_METATYPE(Sveltra::FileItem)
