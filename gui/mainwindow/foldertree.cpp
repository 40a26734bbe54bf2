#include "gui/mainwindow/foldertree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

#include "gui/mainwindow/filelist.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

constexpr int FilePathRole = QFileSystemModel::FilePathRole;
constexpr int FileNameRole = QFileSystemModel::FileNameRole;

// A drive or disc image.
QIcon cdFolderIcon()
{
    return ImageListIcon(QStringLiteral("statusbar"), 6);
}

QString cleanFolder(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

FolderTreeModel::FolderTreeModel(QAbstractItemModel *source, QObject *owner)
    : QAbstractProxyModel(owner)
    , m_source(source)
{
    QAbstractProxyModel::setSourceModel(source);
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &under, int first, int last) {
        beginInsertRows(mapFromSource(under), shifted(under, first), shifted(under, last));
    });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &under, int first, int last) {
        beginRemoveRows(mapFromSource(under), shifted(under, first), shifted(under, last));
    });
    connect(source, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(source, &QAbstractItemModel::rowsAboutToBeMoved, this,
            [this](const QModelIndex &from, int first, int last, const QModelIndex &to, int row) {
                beginMoveRows(mapFromSource(from), shifted(from, first), shifted(from, last), mapFromSource(to),
                              shifted(to, row));
            });
    connect(source, &QAbstractItemModel::rowsMoved, this, [this] { endMoveRows(); });
    connect(source, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex &under, int first, int last) { beginInsertColumns(mapFromSource(under), first, last); });
    connect(source, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(source, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            [this](const QModelIndex &under, int first, int last) { beginRemoveColumns(mapFromSource(under), first, last); });
    connect(source, &QAbstractItemModel::columnsRemoved, this, [this] { endRemoveColumns(); });
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                emit dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight), roles);
            });
    connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(source, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, &FolderTreeModel::sourceLayoutAboutToChange);
    connect(source, &QAbstractItemModel::layoutChanged, this, &FolderTreeModel::sourceLayoutChanged);
}

void FolderTreeModel::setFolders(const QList<Folder> &folders)
{
    qsizetype keep = 0;
    while (keep < m_folders.size() && keep < folders.size() && m_folders[keep].path == folders[keep].path)
        ++keep;
    if (keep < m_folders.size()) {
        beginRemoveRows(QModelIndex(), int(keep), int(m_folders.size() - 1));
        m_folders.resize(keep);
        endRemoveRows();
    }
    for (qsizetype row = 0; row < keep; ++row) {
        if (m_folders[row].name != folders[row].name || m_folders[row].icon.cacheKey() != folders[row].icon.cacheKey()) {
            m_folders[row] = folders[row];
            emit dataChanged(index(int(row), 0), index(int(row), 0));
        }
    }
    if (keep < folders.size()) {
        beginInsertRows(QModelIndex(), int(keep), int(folders.size() - 1));
        m_folders = folders;
        endInsertRows();
    }
}

QModelIndex FolderTreeModel::folderIndex(const QString &path) const
{
    for (qsizetype row = 0; row < m_folders.size(); ++row) {
        if (m_folders[row].path == path)
            return index(int(row), 0);
    }
    return {};
}

QString FolderTreeModel::folderPath(const QModelIndex &index) const
{
    return isFolder(index) ? m_folders.value(index.row()).path : QString();
}

QModelIndex FolderTreeModel::mapFromSource(const QModelIndex &source) const
{
    if (!source.isValid())
        return {};
    return createIndex(shifted(source.parent(), source.row()), source.column(), source.internalPointer());
}

QModelIndex FolderTreeModel::mapToSource(const QModelIndex &proxy) const
{
    if (!proxy.isValid() || isFolder(proxy))
        return {};
    // A top-level row of the source is one whose internal pointer the source's own index of that
    // row has; any other row lies deeper and keeps its number.
    const int top = int(proxy.row() - m_folders.size());
    if (top >= 0 && top < m_source->rowCount()) {
        const QModelIndex candidate = m_source->index(top, proxy.column());
        if (candidate.internalPointer() == proxy.internalPointer())
            return candidate;
    }
    return createSourceIndex(proxy.row(), proxy.column(), proxy.internalPointer());
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || row >= rowCount(parent) || column >= columnCount(parent))
        return {};
    if (!parent.isValid()) {
        if (row < m_folders.size())
            return createIndex(row, column, folderTag());
        return mapFromSource(m_source->index(int(row - m_folders.size()), column));
    }
    return mapFromSource(m_source->index(row, column, mapToSource(parent)));
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || isFolder(child))
        return {};
    return mapFromSource(mapToSource(child).parent());
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_folders.size()) + m_source->rowCount();
    if (isFolder(parent) || parent.column() > 0)
        return 0;
    return m_source->rowCount(mapToSource(parent));
}

int FolderTreeModel::columnCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return std::max(1, m_source->columnCount()); // the folders' names
    return isFolder(parent) ? 0 : m_source->columnCount(mapToSource(parent));
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return rowCount() > 0;
    return !isFolder(parent) && m_source->hasChildren(mapToSource(parent));
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    return !isFolder(parent) && m_source->canFetchMore(mapToSource(parent));
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (!isFolder(parent))
        m_source->fetchMore(mapToSource(parent));
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!isFolder(index)) {
        // The type and the date in the interface's language: the file system model says "Drive"
        // and "Folder" and dates in the system's locale (English month names under C.UTF-8).
        if ((role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && (index.column() == 2 || index.column() == 3)) {
            const QFileInfo info(QAbstractProxyModel::data(index.siblingAtColumn(0), FilePathRole).toString());
            if (index.column() == 2)
                return info.isRoot() ? tr("驱动器") : tr("文件夹");
            return info.lastModified().isValid() ? QLocale().toString(info.lastModified(), QLocale::ShortFormat) : QString();
        }
        return QAbstractProxyModel::data(index, role);
    }
    if (index.column() != 0)
        return {};
    const Folder &folder = m_folders.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return folder.name;
    case Qt::ToolTipRole:
        return QDir::toNativeSeparators(folder.path);
    case FilePathRole:
        return folder.path;
    case FileNameRole:
        return QFileInfo(folder.path).fileName();
    case Qt::DecorationRole:
        return folder.icon;
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    if (isFolder(index))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return QAbstractProxyModel::flags(index);
}

void FolderTreeModel::sort(int column, Qt::SortOrder order)
{
    m_source->sort(column, order);
}

int FolderTreeModel::shifted(const QModelIndex &sourceParent, int row) const
{
    return sourceParent.isValid() ? row : int(row + m_folders.size());
}

void FolderTreeModel::sourceLayoutAboutToChange(const QList<QPersistentModelIndex> &parents,
                                                QAbstractItemModel::LayoutChangeHint hint)
{
    emit layoutAboutToBeChanged(mappedParents(parents), hint);
    m_layoutProxies.clear();
    m_layoutSources.clear();
    const QModelIndexList persistent = persistentIndexList();
    for (const QModelIndex &index : persistent) {
        if (isFolder(index))
            continue;
        m_layoutProxies << index;
        m_layoutSources << QPersistentModelIndex(mapToSource(index));
    }
}

void FolderTreeModel::sourceLayoutChanged(const QList<QPersistentModelIndex> &parents, QAbstractItemModel::LayoutChangeHint hint)
{
    QModelIndexList moved;
    for (const QPersistentModelIndex &source : std::as_const(m_layoutSources))
        moved << mapFromSource(source);
    changePersistentIndexList(m_layoutProxies, moved);
    m_layoutProxies.clear();
    m_layoutSources.clear();
    emit layoutChanged(mappedParents(parents), hint);
}

QList<QPersistentModelIndex> FolderTreeModel::mappedParents(const QList<QPersistentModelIndex> &parents) const
{
    QList<QPersistentModelIndex> mapped;
    for (const QPersistentModelIndex &parent : parents)
        mapped << QPersistentModelIndex(mapFromSource(parent));
    return mapped;
}

// ---------------------------------------------------------------------------------------------

FolderTreeView::FolderTreeView(QWidget *parent)
    : QTreeView(parent)
    , m_fsModel(new QFileSystemModel(this))
    , m_icons(new QFileIconProvider)
{
    setObjectName(QStringLiteral("XTreeView1"));
    setAccessibleName(tr("文件夹"));

    m_fsModel->setIconProvider(m_icons);
    m_fsModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_fsModel->setReadOnly(true);
    m_fsModel->setRootPath(QDir::rootPath());
    m_model = new FolderTreeModel(m_fsModel, this);
    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    setHeaderHidden(true);
    // Long folder names scroll sideways instead of being cut short.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { folderChosen(current); });
    // A folder far down the tree moves while its parent's other folders are read and sorted;
    // reveal it again once they are, then leave the scrolling to the user.
    m_revealTimer.setSingleShot(true);
    m_revealTimer.setInterval(100);
    connect(&m_revealTimer, &QTimer::timeout, this, [this] {
        reveal(indexOfFolder(m_pendingReveal));
        if (m_parentLoaded)
            m_pendingReveal.clear();
    });
    connect(m_fsModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (m_pendingReveal.isEmpty() || QFileInfo(m_pendingReveal).path() != cleanFolder(loaded))
            return;
        m_parentLoaded = true;
        m_revealTimer.start();
    });
}

FolderTreeView::~FolderTreeView()
{
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
    delete m_fsModel;
    m_fsModel = nullptr;
    delete m_icons;
}

void FolderTreeView::reveal(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    // Keep the branches in sight: scrolling to a deep folder must not shift the tree sideways.
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void FolderTreeView::showEvent(QShowEvent *event)
{
    QTreeView::showEvent(event);
    if (!m_pendingReveal.isEmpty())
        m_revealTimer.start();
}

void FolderTreeView::setLinkedFileView(FileListView *list)
{
    if (m_linkConnection)
        disconnect(m_linkConnection);
    m_linked = list;
    if (!list)
        return;
    m_linkConnection = connect(list, &FileListView::folderPathChanged, this, &FolderTreeView::showFolder);
    showFolder(list->FolderPath());
}

void FolderTreeView::setVirtualFolderProvider(VirtualFolderProvider *provider)
{
    m_provider = provider;
    refreshVirtualFolders();
}

void FolderTreeView::refreshVirtualFolders()
{
    QList<FolderTreeModel::Folder> folders;
    if (m_provider) {
        const QIcon icon = cdFolderIcon();
        const QStringList paths = m_provider->rootFolders();
        for (const QString &path : paths) {
            const QString folder = cleanFolder(path);
            folders.append({folder, m_provider->folderDisplayName(folder), icon});
        }
    }
    // Rows going away must not send another folder to the list.
    m_following = true;
    m_model->setFolders(folders);
    m_following = false;
    if (m_linked && currentFolder() != m_linked->FolderPath())
        showFolder(m_linked->FolderPath());
}

void FolderTreeView::showFolder(const QString &path)
{
    const QString folder = cleanFolder(path);
    const QModelIndex index = indexOfFolder(folder);
    m_following = true;
    if (index.isValid()) {
        setCurrentIndex(index);
        reveal(index);
        if (m_model->isFolder(index)) {
            m_pendingReveal.clear();
        } else {
            m_pendingReveal = folder;
            m_parentLoaded = false;
            m_revealTimer.start();
        }
    } else {
        // A folder the tree does not show: nothing to select.
        setCurrentIndex(QModelIndex());
        selectionModel()->clearSelection();
        m_pendingReveal.clear();
    }
    m_following = false;
}

QString FolderTreeView::currentFolder() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? QDir::toNativeSeparators(folderOf(current)) : QString();
}

QModelIndex FolderTreeView::indexOfFolder(const QString &folder) const
{
    const QModelIndex top = m_model->folderIndex(folder);
    if (top.isValid())
        return top;
    // Asked for a file (a disc image not opened yet), the model would add it to the tree.
    if (!QFileInfo(folder).isDir())
        return {};
    return m_model->mapFromSource(m_fsModel->index(folder));
}

QString FolderTreeView::folderOf(const QModelIndex &index) const
{
    return m_model->isFolder(index) ? m_model->folderPath(index) : m_fsModel->filePath(m_model->mapToSource(index));
}

void FolderTreeView::folderChosen(const QModelIndex &current)
{
    if (m_following || !current.isValid())
        return;
    m_pendingReveal.clear();
    m_revealTimer.stop();
    if (m_linked)
        m_linked->setFolderPath(folderOf(current));
}

} // namespace Sveltra
