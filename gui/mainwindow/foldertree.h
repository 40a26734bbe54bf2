#pragma once

#include <QAbstractProxyModel>
#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include "gui/mainwindow/virtualfolder.h"

class QFileIconProvider;
class QFileSystemModel;

namespace Sveltra {

class FileListView;

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
