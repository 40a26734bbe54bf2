#include "gui/mainwindow/filelist.h"

#include <QAbstractProxyModel>
#include <QCollator>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTimer>
#include <QUrl>
#include <QtDebug>

#include <algorithm>

#include "core/joblist/jobrules.h"
#include "gui/skin/imagelist.h"

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
constexpr int DesignedNameWidth = 220;

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
        return m_provider && qobject_cast<QFileSystemModel *>(sourceModel()) && m_provider->isVirtualFolder(path(sourceIndex));
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
                ? QCoreApplication::translate("Sveltra::FileListView", "CD 映像")
                : QCoreApplication::translate("Sveltra::FileListView", "CD 驱动器");
        }
        if (isFolder(name))
            return QCoreApplication::translate("Sveltra::FileListView", "文件夹");
        const QString suffix = QFileInfo(name.data(FileNameRole).toString()).suffix();
        if (suffix.compare(QLatin1String("cda"), Qt::CaseInsensitive) == 0)
            return QCoreApplication::translate("Sveltra::FileListView", "CD 音轨");
        return suffix.isEmpty() ? QCoreApplication::translate("Sveltra::FileListView", "文件")
                                : QCoreApplication::translate("Sveltra::FileListView", "%1 文件").arg(suffix.toUpper());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == ColType)
            return typeText(mapToSource(index));
        // Dates in the interface's language (the file system model would take the system's: a
        // Chinese window under LC_ALL=C.UTF-8 would show English month names).
        if (role == Qt::DisplayRole && index.column() == ColModified) {
            if (auto *fs = qobject_cast<QFileSystemModel *>(sourceModel())) {
                const QDateTime modified = fs->lastModified(mapToSource(index));
                if (modified.isValid())
                    return QLocale().toString(modified, QLocale::ShortFormat);
            }
        }
        if (role == Qt::DecorationRole && index.column() == ColName && isVirtualFolder(mapToSource(index)))
            return cdFolderIcon();
        return QSortFilterProxyModel::data(index, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            switch (section) {
            case ColName:
                return QCoreApplication::translate("Sveltra::FileListView", "名称");
            case ColSize:
                return QCoreApplication::translate("Sveltra::FileListView", "大小");
            case ColType:
                return QCoreApplication::translate("Sveltra::FileListView", "类型");
            case ColModified:
                return QCoreApplication::translate("Sveltra::FileListView", "修改日期");
            case ColLength:
                return QCoreApplication::translate("Sveltra::FileListView", "播放时间");
            default:
                break;
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
            default:
                break;
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
    setAccessibleName(QCoreApplication::translate("Sveltra::FileListView", "文件列表"));

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
    m_fittingName = true;
    setColumnWidth(ColName, DesignedNameWidth);
    m_fittingName = false;
    setColumnWidth(ColSize, 80);
    setColumnWidth(ColType, 100);
    setColumnWidth(ColModified, 140);
    // The play length column exists while a virtual folder is shown.
    connect(header(), &QHeaderView::sectionCountChanged, this, [this](int oldCount, int newCount) {
        if (oldCount <= ColLength && newCount > ColLength)
            setColumnWidth(ColLength, 80);
        fitNameColumn();
    });
    connect(header(), &QHeaderView::sectionResized, this, [this](int section, int, int) {
        if (section == ColName && !m_fittingName)
            m_nameFollowsWidth = false;
    });

    connect(this, &QAbstractItemView::activated, this, &FileListView::openIndex);

    setFolderPath(QDir::homePath());
}

void FileListView::resizeEvent(QResizeEvent *event)
{
    QTreeView::resizeEvent(event);
    fitNameColumn();
}

void FileListView::fitNameColumn()
{
    if (!m_nameFollowsWidth)
        return;
    int others = 0;
    for (int column = 0; column < header()->count(); ++column) {
        if (column != ColName && !header()->isSectionHidden(column))
            others += header()->sectionSize(column);
    }
    m_fittingName = true;
    setColumnWidth(ColName, qMax(DesignedNameWidth, viewport()->width() - others));
    m_fittingName = false;
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
    if (event->key() == Qt::Key_Backspace || (event->key() == Qt::Key_Up && event->modifiers() == Qt::AltModifier)) {
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

} // namespace Sveltra
