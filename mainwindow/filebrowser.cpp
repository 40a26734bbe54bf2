#include "mainwindow/filebrowser.h"

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

namespace Sveltra {

namespace {

// Roles the entries of a virtual folder carry, matching the file system model's own.
constexpr int FilePathRole = QFileSystemModel::FilePathRole;
constexpr int FileNameRole = QFileSystemModel::FileNameRole;
constexpr int FolderRole = Qt::UserRole + 40;

enum ListColumn { ColName = 0, ColSize, ColType, ColModified, ListColumnCount };

QString cleanFolder(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

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
    , m_virtualModel(new QStandardItemModel(0, ListColumnCount, this))
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
        const QStringList names = m_provider->entries(folder);
        for (const QString &name : names) {
            QList<QStandardItem *> row;
            auto *item = new QStandardItem(m_icons->icon(QFileIconProvider::File), name);
            item->setData(QString(folder + QLatin1Char('/') + name), FilePathRole);
            item->setData(name, FileNameRole);
            item->setData(false, FolderRole);
            row << item << new QStandardItem << new QStandardItem << new QStandardItem;
            for (QStandardItem *cell : row)
                cell->setEditable(false);
            m_virtualModel->appendRow(row);
        }
        if (m_filter->sourceModel() != m_virtualModel)
            m_filter->setSourceModel(m_virtualModel);
        m_filter->setListedFolder(QModelIndex());
        setRootIndex(QModelIndex());
    } else {
        if (m_filter->sourceModel() != m_fsModel)
            m_filter->setSourceModel(m_fsModel);
        const QModelIndex sourceRoot = m_fsModel->setRootPath(folder);
        m_filter->setListedFolder(sourceRoot);
        setRootIndex(m_filter->mapFromSource(sourceRoot));
    }

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
            selection.select(index, index.siblingAtColumn(ListColumnCount - 1));
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

FolderTreeView::FolderTreeView(QWidget *parent)
    : QTreeView(parent)
    , m_model(new QFileSystemModel(this))
    , m_icons(new QFileIconProvider)
{
    setObjectName(QStringLiteral("XTreeView1"));
    setAccessibleName(QStringLiteral("文件夹"));

    m_model->setIconProvider(m_icons);
    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_model->setRootPath(QDir::rootPath());
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
        reveal(m_model->index(m_pendingReveal));
        if (m_parentLoaded)
            m_pendingReveal.clear();
    });
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
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

void FolderTreeView::showFolder(const QString &path)
{
    const QString folder = cleanFolder(path);
    const QModelIndex index = m_model->index(folder);
    m_following = true;
    if (index.isValid()) {
        setCurrentIndex(index);
        reveal(index);
        m_pendingReveal = folder;
        m_parentLoaded = false;
        m_revealTimer.start();
    } else {
        // A folder the file system does not hold (a CD drive's tracks): nothing to select.
        setCurrentIndex(QModelIndex());
        selectionModel()->clearSelection();
        m_pendingReveal.clear();
    }
    m_following = false;
}

QString FolderTreeView::currentFolder() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? QDir::toNativeSeparators(m_model->filePath(current)) : QString();
}

void FolderTreeView::folderChosen(const QModelIndex &current)
{
    if (m_following || !current.isValid())
        return;
    m_pendingReveal.clear();
    m_revealTimer.stop();
    if (m_linked)
        m_linked->setFolderPath(m_model->filePath(current));
}

} // namespace Sveltra
