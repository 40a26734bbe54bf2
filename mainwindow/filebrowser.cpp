#include "mainwindow/filebrowser.h"

#include <QAbstractProxyModel>
#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTimer>
#include <QUrl>
#include <QtDebug>

#include <algorithm>

#include "app/imagelist.h"
#include "mainwindow/jobrules.h"

namespace Sveltra {

namespace {

// Roles the entries of a virtual folder carry, matching the file system model's own.
constexpr int FilePathRole = QFileSystemModel::FilePathRole;
constexpr int FileNameRole = QFileSystemModel::FileNameRole;
constexpr int FolderRole = Qt::UserRole + 40;
// The value a virtual entry's cell sorts by (bytes, milliseconds).
constexpr int SortRole = Qt::UserRole + 41;

// The file system's four columns; a virtual folder's entries also have a play length.
enum ListColumn { ColName = 0, ColSize, ColType, ColModified, ColLength, VirtualColumnCount };

// A drive or disc image, and a track of one.
QIcon cdFolderIcon()
{
    return ImageListIcon(QStringLiteral("statusbar"), 6);
}

QIcon cdTrackIcon()
{
    return ImageListIcon(QStringLiteral("formats"), 3);
}

QString cleanFolder(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

QString VirtualFolderProvider::folderDisplayName(const QString &folder) const
{
    const QString name = QFileInfo(folder).fileName();
    return name.isEmpty() ? folder : name;
}

// Hides the files of the listed folder whose names do not match the pattern, keeps folders,
// and sorts folders first, then by name as people read numbers ("2" before "10"). Rows outside
// the listed folder (its ancestors) always pass, so the folder itself stays reachable.
class FileListFilter final : public QSortFilterProxyModel
{
public:
    explicit FileListFilter(QObject *parent)
        : QSortFilterProxyModel(parent)
    {
        // The "C" locale collates by code point and knows no numbers; people read names.
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English);
        m_collator = QCollator(locale);
        m_collator.setNumericMode(true);
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
        setDynamicSortFilter(true);
    }

    void setPattern(const FilePattern &pattern)
    {
        m_pattern = pattern;
        invalidateFilter();
    }

    void setListedFolder(const QModelIndex &sourceFolder)
    {
        m_listed = QPersistentModelIndex(sourceFolder);
        invalidateFilter();
    }

    void setProvider(const VirtualFolderProvider *provider)
    {
        m_provider = provider;
        invalidate();
    }

    // A drive or disc image of the provider, listed and opened like a folder.
    bool isVirtualFolder(const QModelIndex &sourceIndex) const
    {
        return m_provider && qobject_cast<QFileSystemModel *>(sourceModel())
               && m_provider->isVirtualFolder(path(sourceIndex));
    }

    bool isFolder(const QModelIndex &sourceIndex) const
    {
        if (auto *fs = qobject_cast<QFileSystemModel *>(sourceModel()))
            return fs->isDir(sourceIndex) || isVirtualFolder(sourceIndex);
        return sourceIndex.data(FolderRole).toBool();
    }

    QString path(const QModelIndex &sourceIndex) const
    {
        return sourceIndex.siblingAtColumn(ColName).data(FilePathRole).toString();
    }

    // The type column in the program's own words: "文件夹", "MP3 文件", "CD 音轨".
    QString typeText(const QModelIndex &sourceIndex) const
    {
        const QModelIndex name = sourceIndex.siblingAtColumn(ColName);
        if (isVirtualFolder(name)) {
            return name.data(FileNameRole).toString().endsWith(QLatin1String(".cue"), Qt::CaseInsensitive)
                       ? QStringLiteral("CD 映像")
                       : QStringLiteral("CD 驱动器");
        }
        if (isFolder(name))
            return QStringLiteral("文件夹");
        const QString suffix = QFileInfo(name.data(FileNameRole).toString()).suffix();
        if (suffix.compare(QLatin1String("cda"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("CD 音轨");
        return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == ColType)
            return typeText(mapToSource(index));
        if (role == Qt::DecorationRole && index.column() == ColName && isVirtualFolder(mapToSource(index)))
            return cdFolderIcon();
        return QSortFilterProxyModel::data(index, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            switch (section) {
            case ColName: return QStringLiteral("名称");
            case ColSize: return QStringLiteral("大小");
            case ColType: return QStringLiteral("类型");
            case ColModified: return QStringLiteral("修改日期");
            case ColLength: return QStringLiteral("播放时间");
            default: break;
            }
        }
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

    QStringList mimeTypes() const override { return {QStringLiteral("text/uri-list")}; }

    // The dragged entries as file URLs, in the list's order, one per row.
    QMimeData *mimeData(const QModelIndexList &indexes) const override
    {
        QList<QModelIndex> rows;
        for (const QModelIndex &index : indexes) {
            if (index.column() == ColName)
                rows << index;
        }
        std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
        QList<QUrl> urls;
        for (const QModelIndex &index : rows)
            urls << QUrl::fromLocalFile(path(mapToSource(index)));
        if (urls.isEmpty())
            return nullptr;
        auto *data = new QMimeData;
        data->setUrls(urls);
        return data;
    }

    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override
    {
        if (sourceParent != QModelIndex(m_listed))
            return true;
        const QModelIndex index = sourceModel()->index(sourceRow, ColName, sourceParent);
        if (isFolder(index))
            return true;
        return m_pattern.matches(index.data(FileNameRole).toString());
    }

    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const bool leftFolder = isFolder(left.siblingAtColumn(ColName));
        const bool rightFolder = isFolder(right.siblingAtColumn(ColName));
        if (leftFolder != rightFolder) {
            // Folders come first whichever way the user sorts.
            return sortOrder() == Qt::AscendingOrder ? leftFolder : rightFolder;
        }
        const QString leftName = left.siblingAtColumn(ColName).data(FileNameRole).toString();
        const QString rightName = right.siblingAtColumn(ColName).data(FileNameRole).toString();
        if (auto *fs = qobject_cast<QFileSystemModel *>(sourceModel())) {
            switch (left.column()) {
            case ColSize: {
                const qint64 a = fs->size(left), b = fs->size(right);
                if (a != b)
                    return a < b;
                break;
            }
            case ColType: {
                const int c = m_collator.compare(typeText(left), typeText(right));
                if (c != 0)
                    return c < 0;
                break;
            }
            case ColModified: {
                const QDateTime a = fs->lastModified(left), b = fs->lastModified(right);
                if (a != b)
                    return a < b;
                break;
            }
            default: break;
            }
        } else if (left.column() != ColName) {
            // Unknown sizes and lengths sort before the known ones.
            const qint64 a = left.data(SortRole).isValid() ? left.data(SortRole).toLongLong() : -1;
            const qint64 b = right.data(SortRole).isValid() ? right.data(SortRole).toLongLong() : -1;
            if (a != b)
                return a < b;
        }
        return m_collator.compare(leftName, rightName) < 0;
    }

private:
    FilePattern m_pattern{QStringLiteral("*.*")};
    QPersistentModelIndex m_listed;
    const VirtualFolderProvider *m_provider = nullptr;
    QCollator m_collator;
};

// ---------------------------------------------------------------------------------------------

FileListView::FileListView(QWidget *parent)
    : QTreeView(parent)
    , m_fsModel(new QFileSystemModel(this))
    , m_virtualModel(new QStandardItemModel(0, VirtualColumnCount, this))
    , m_filter(new FileListFilter(this))
    , m_icons(new QFileIconProvider)
{
    setObjectName(QStringLiteral("XListView1"));
    setAccessibleName(QStringLiteral("文件列表"));

    m_fsModel->setIconProvider(m_icons);
    m_fsModel->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    m_fsModel->setReadOnly(true);
    connect(m_fsModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (cleanFolder(loaded) == m_folder)
            emit folderLoaded(FolderPath());
    });

    m_filter->setSourceModel(m_fsModel);
    setModel(m_filter);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setSortingEnabled(true);
    sortByColumn(ColName, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    setColumnWidth(ColName, 220);
    setColumnWidth(ColSize, 80);
    setColumnWidth(ColType, 100);
    setColumnWidth(ColModified, 140);
    // The play length column exists while a virtual folder is shown.
    connect(header(), &QHeaderView::sectionCountChanged, this, [this](int oldCount, int newCount) {
        if (oldCount <= ColLength && newCount > ColLength)
            setColumnWidth(ColLength, 80);
    });

    connect(this, &QAbstractItemView::activated, this, &FileListView::openIndex);

    setFolderPath(QDir::homePath());
}

FileListView::~FileListView()
{
    // The model holds a pointer to the provider; let it go first.
    setModel(nullptr);
    delete m_fsModel;
    m_fsModel = nullptr;
    delete m_icons;
}

void FileListView::setFilePattern(const QString &pattern)
{
    m_pattern = Sveltra::FilePattern(pattern);
    m_filter->setPattern(m_pattern);
}

QString FileListView::FolderPath() const
{
    return QDir::toNativeSeparators(m_folder);
}

void FileListView::setFolderPath(const QString &path)
{
    QString folder = cleanFolder(path);
    const bool isVirtual = m_provider && !folder.isEmpty() && m_provider->isVirtualFolder(folder);

    if (!isVirtual && (folder.isEmpty() || !QFileInfo(folder).isDir())) {
        qWarning("File list: folder '%s' does not exist; showing the home folder", qPrintable(path));
        folder = QDir::homePath();
    }

    if (isVirtual) {
        m_virtualModel->removeRows(0, m_virtualModel->rowCount());
        const QList<VirtualEntry> entries = m_provider->entries(folder);
        const QIcon trackIcon = cdTrackIcon();
        for (const VirtualEntry &entry : entries) {
            auto *name = new QStandardItem(trackIcon.isNull() ? m_icons->icon(QFileIconProvider::File) : trackIcon, entry.name);
            name->setData(QString(folder + QLatin1Char('/') + entry.name), FilePathRole);
            name->setData(entry.name, FileNameRole);
            name->setData(false, FolderRole);
            auto *size = new QStandardItem;
            if (entry.bytes >= 0) {
                // In the file system's own words.
                size->setText(QLocale::system().formattedDataSize(entry.bytes));
                size->setData(entry.bytes, SortRole);
            }
            auto *length = new QStandardItem;
            if (entry.lengthMs >= 0) {
                length->setText(FormatDuration(entry.lengthMs));
                length->setData(entry.lengthMs, SortRole);
            }
            size->setTextAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
            length->setTextAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
            const QList<QStandardItem *> row{name, size, new QStandardItem, new QStandardItem, length};
            for (QStandardItem *cell : row)
                cell->setEditable(false);
            m_virtualModel->appendRow(row);
        }
        if (m_filter->sourceModel() != m_virtualModel)
            m_filter->setSourceModel(m_virtualModel);
        m_filter->setListedFolder(QModelIndex());
        setRootIndex(QModelIndex());
    } else {
        if (m_filter->sourceModel() != m_fsModel) {
            m_filter->setSourceModel(m_fsModel);
            // Sorted by play length in a CD folder: files have none.
            if (header()->sortIndicatorSection() >= m_fsModel->columnCount())
                sortByColumn(ColName, header()->sortIndicatorOrder());
        }
        const QModelIndex sourceRoot = m_fsModel->setRootPath(folder);
        m_filter->setListedFolder(sourceRoot);
        setRootIndex(m_filter->mapFromSource(sourceRoot));
    }

    // Tracks have no date; their play length comes right after the name, in sight in a narrow list.
    header()->setSectionHidden(ColModified, isVirtual);
    if (isVirtual && header()->count() > ColLength)
        header()->moveSection(header()->visualIndex(ColLength), ColSize);

    m_folder = folder;
    m_walk.clear();
    m_walkFolders.clear();
    m_walkNext = 0;
    emit folderPathChanged(FolderPath());
    if (isVirtual)
        emit folderLoaded(FolderPath());
}

std::optional<FileItem> FileListView::itemAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != m_filter)
        return std::nullopt;
    const QModelIndex source = m_filter->mapToSource(index.siblingAtColumn(ColName));
    const QString path = m_filter->path(source);
    if (path.isEmpty())
        return std::nullopt;
    return FileItem(QDir::toNativeSeparators(path), m_filter->isFolder(source));
}

std::optional<FileItem> FileListView::FirstSelected()
{
    m_walk.clear();
    m_walkFolders.clear();
    m_walkNext = 0;
    QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows(ColName) : QModelIndexList();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &row : rows) {
        if (row.parent() != rootIndex())
            continue;
        if (const auto item = itemAt(row)) {
            m_walk << item->Path();
            m_walkFolders << item->isFolder();
        }
    }
    return NextSelected();
}

std::optional<FileItem> FileListView::NextSelected()
{
    if (m_walkNext >= m_walk.size())
        return std::nullopt;
    const qsizetype at = m_walkNext++;
    return FileItem(m_walk[at], m_walkFolders[at]);
}

void FileListView::selectNames(const QStringList &names)
{
    QItemSelection selection;
    const QModelIndex root = rootIndex();
    for (int row = 0; row < m_filter->rowCount(root); ++row) {
        const QModelIndex index = m_filter->index(row, ColName, root);
        if (names.contains(index.data(FileNameRole).toString()))
            selection.select(index, index.siblingAtColumn(m_filter->columnCount(root) - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void FileListView::setVirtualFolderProvider(VirtualFolderProvider *provider)
{
    m_provider = provider;
    m_filter->setProvider(provider);
}

void FileListView::openIndex(const QModelIndex &index)
{
    const auto item = itemAt(index);
    if (!item)
        return;
    if (item->isFolder()) {
        setFolderPath(cleanFolder(item->Path()));
        return;
    }
    emit ItemActivated(*item);
}

void FileListView::showParentFolder()
{
    QDir dir(m_folder);
    if (dir.cdUp())
        setFolderPath(dir.absolutePath());
}

void FileListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace
        || (event->key() == Qt::Key_Up && event->modifiers() == Qt::AltModifier)) {
        showParentFolder();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::startDrag(Qt::DropActions supportedActions)
{
    // Never a move: the user's files stay where they are, whatever the target offers.
    Q_UNUSED(supportedActions);
    QTreeView::startDrag(Qt::CopyAction);
}

// ---------------------------------------------------------------------------------------------

FolderTreeModel::FolderTreeModel(QAbstractItemModel *source, QObject *owner)
    : QAbstractProxyModel(owner)
    , m_source(source)
{
    QAbstractProxyModel::setSourceModel(source);
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &under, int first, int last) {
                beginInsertRows(mapFromSource(under), shifted(under, first), shifted(under, last));
            });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &under, int first, int last) {
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
    if (!isFolder(index))
        return QAbstractProxyModel::data(index, role);
    if (index.column() != 0)
        return {};
    const Folder &folder = m_folders.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return folder.name;
    case Qt::ToolTipRole: return QDir::toNativeSeparators(folder.path);
    case FilePathRole: return folder.path;
    case FileNameRole: return QFileInfo(folder.path).fileName();
    case Qt::DecorationRole: return folder.icon;
    default: return {};
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
    setAccessibleName(QStringLiteral("文件夹"));

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
