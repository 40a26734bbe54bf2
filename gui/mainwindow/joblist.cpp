#include "gui/mainwindow/joblist.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QtDebug>

#include "core/base/appstate.h"
#include "core/joblist/addrefusal.h"
#include "core/joblist/jobrules.h"
#include "core/layout/layout.h"
#include "core/media/audioinformation.h"
#include "core/run/runsummary.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

constexpr int StatusRole = Qt::UserRole + 1;
// The folder a row was added from (hidden: no column shows it).
constexpr int BaseFolderRole = Qt::UserRole + 2;
constexpr int ReconvertRole = Qt::UserRole + 3;

// Every cell of a row tells a screen reader the row's state: "等待", "已完成" or "失败：" and the
// reason that its tooltip shows.
void describeRow(QTreeWidgetItem *item)
{
    const QString text = RowStatusText(item->data(JobColumn::Name, StatusRole).toInt(), item->toolTip(JobColumn::Name));
    for (int column = 0; column < JobColumn::Count; ++column)
        item->setData(column, Qt::AccessibleDescriptionRole, text);
}

// How long one slice of adding may hold the event loop: rows come in between repaints.
constexpr qint64 SliceMs = 25;
// The refused files a notice names one by one; the rest are in its details.
constexpr int NoticeNames = 20;

struct ColumnSpec
{
    const char *header;
    const char *key;
    int widthTwips;
};

constexpr ColumnSpec columns[JobColumn::Count] = {
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "S"), "", 300},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "标题"), "", 2000},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "来源路径"), "SourcePath", 1500},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "媒体文件"), "Source", 2500},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "播放时间"), "", 1000},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "大小"), "", 1000},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "目标媒体文件"), "Target", 2500},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "压缩大小"), "", 1000},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "压缩率"), "", 1400},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "专辑"), "", 1440},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "艺术家"), "", 1000},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "年份"), "", 400},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "注释"), "", 1440},
    {QT_TRANSLATE_NOOP("Sveltra::JobList", "流派"), "", 100},
};

// Column 0 is too narrow for its file name (the name is in "媒体文件" too): it shows the status
// icon alone, while the name stays in the cell for screen readers.
class StatusIconDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text.clear();
    }
};

} // namespace

JobList::JobList(AudioInformation &info, QWidget *parent)
    : QTreeWidget(parent)
    , m_info(info)
{
    setObjectName(QStringLiteral("ListView1"));
    setAccessibleName(tr("压缩列表"));
    setColumnCount(JobColumn::Count);
    QStringList headers;
    for (const ColumnSpec &c : columns)
        headers << tr(c.header);
    setHeaderLabels(headers);
    for (int i = 0; i < JobColumn::Count; ++i) {
        headerItem()->setData(i, Qt::UserRole, QString::fromLatin1(columns[i].key));
        setColumnWidth(i, columns[i].widthTwips / Layout::TwipsPerPixel + (i == JobColumn::Name ? 6 : 0));
    }
    setItemDelegateForColumn(JobColumn::Name, new StatusIconDelegate(this));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);

    m_reader = new MediaInfoReader(this);
    connect(m_reader, &MediaInfoReader::batchReady, this, [this](const QList<MediaInfo> &infos) {
        m_results.insert(m_results.end(), infos.begin(), infos.end());
        if (!m_applyTimer.isActive())
            m_applyTimer.start();
    });
    connect(m_reader, &MediaInfoReader::finished, this, [this] {
        if (!m_applyTimer.isActive())
            m_applyTimer.start();
    });
    m_applyTimer.setSingleShot(true);
    m_applyTimer.setInterval(0);
    connect(&m_applyTimer, &QTimer::timeout, this, &JobList::applyResults);

    // Rows that go away, by whatever path, make the duplicate test count again; rows put in
    // by others than this list's own add do too.
    const auto stale = [this] { m_queuedPathsStale = true; };
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, stale);
    connect(model(), &QAbstractItemModel::modelReset, this, stale);
    connect(model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_inserting)
            m_queuedPathsStale = true;
    });
}

JobList::~JobList()
{
    // The tree's model outlives this part of the list and empties itself as the tree goes; by
    // then nothing of the list may hear it.
    model()->disconnect(this);
}

QString JobList::cell(int row, int column) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void JobList::setCell(int row, int column, const QString &text)
{
    if (QTreeWidgetItem *item = topLevelItem(row)) {
        item->setText(column, text);
        if (column == JobColumn::SourcePath || column == JobColumn::Source)
            m_queuedPathsStale = true;
    }
}

int JobList::status(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->data(JobColumn::Name, StatusRole).toInt() : 0;
}

void JobList::setStatus(int row, int status)
{
    QTreeWidgetItem *item = topLevelItem(row);
    if (!item)
        return;
    const int before = item->data(JobColumn::Name, StatusRole).toInt();
    if ((before == JobStatus::Queued) != (status == JobStatus::Queued))
        countQueuedPath(sourcePath(row), status == JobStatus::Queued ? 1 : -1);
    item->setData(JobColumn::Name, StatusRole, status);
    if (status != JobStatus::Queued)
        item->setData(JobColumn::Name, ReconvertRole, QVariant());
    item->setIcon(JobColumn::Name, statusIcon(status));
    describeRow(item);
}

bool JobList::reconvert(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item && item->data(JobColumn::Name, ReconvertRole).toBool();
}

void JobList::setReconvert(int row, bool on)
{
    if (QTreeWidgetItem *item = topLevelItem(row))
        item->setData(JobColumn::Name, ReconvertRole, on ? QVariant(true) : QVariant());
}

const QIcon &JobList::statusIcon(int status) const
{
    // One icon per state, shared by every row (a list of thousands would otherwise load the
    // picture thousands of times).
    auto it = m_icons.find(status);
    if (it == m_icons.end())
        it = m_icons.insert(status, ImageListIcon(QStringLiteral("joblist"), status));
    return *it;
}

void JobList::countQueuedPath(const QString &path, int change)
{
    if (m_queuedPathsStale)
        return; // counted afresh when next asked
    auto it = m_queuedPaths.find(path);
    if (it == m_queuedPaths.end())
        it = m_queuedPaths.insert(path, 0);
    *it += change;
    if (*it <= 0)
        m_queuedPaths.erase(it);
}

void JobList::rebuildQueuedPaths() const
{
    m_queuedPaths.clear();
    for (int row = 0; row < rowCount(); ++row) {
        if (status(row) == JobStatus::Queued)
            ++m_queuedPaths[sourcePath(row)];
    }
    m_queuedPathsStale = false;
}

void JobList::setNote(int row, const QString &note)
{
    if (QTreeWidgetItem *item = topLevelItem(row)) {
        for (int column = 0; column < JobColumn::Count; ++column)
            item->setToolTip(column, note);
        describeRow(item);
    }
}

QString JobList::note(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->toolTip(JobColumn::Name) : QString();
}

QString JobList::baseFolder(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->data(JobColumn::Name, BaseFolderRole).toString() : QString();
}

QString JobList::sourcePath(int row) const
{
    return cell(row, JobColumn::SourcePath) + cell(row, JobColumn::Source);
}

QTreeWidgetItem *JobList::newRow(const QStringList &cells, int status)
{
    QStringList texts = cells.mid(0, JobColumn::Count);
    auto *item = new QTreeWidgetItem(texts);
    item->setData(JobColumn::Name, StatusRole, status);
    item->setIcon(JobColumn::Name, statusIcon(status));
    describeRow(item);
    if (status == JobStatus::Queued)
        countQueuedPath(texts.value(JobColumn::SourcePath) + texts.value(JobColumn::Source), 1);
    return item;
}

void JobList::insertRows(QList<QTreeWidgetItem *> &rows)
{
    if (rows.isEmpty())
        return;
    const bool sorting = isSortingEnabled();
    setSortingEnabled(false);
    setUpdatesEnabled(false);
    m_inserting = true;
    addTopLevelItems(rows);
    m_inserting = false;
    setUpdatesEnabled(true);
    setSortingEnabled(sorting);
    scrollToItem(rows.last());
    rows.clear();
}

QTreeWidgetItem *JobList::appendRow(const QStringList &cells, int status)
{
    QTreeWidgetItem *item = newRow(cells, status);
    QList<QTreeWidgetItem *> rows{item};
    m_inserting = true;
    addTopLevelItems(rows);
    m_inserting = false;
    return item;
}

bool JobList::IsDuplicate(const QString &path) const
{
    if (m_queuedPathsStale)
        rebuildQueuedPaths();
    return m_queuedPaths.contains(path);
}

void JobList::AddMediaFile(const QString &path)
{
    if (m_adding) {
        AddMediaFiles({path});
        return;
    }
    emit statusMessage(tr("获取媒体文件信息"));
    m_refused.clear();
    QList<QTreeWidgetItem *> rows;
    if (IsDuplicate(path) || MediaType(path) == QLatin1String("CDA")) {
        MediaInfo unread;
        unread.path = path;
        applyOne(unread, rows);
    } else {
        applyOne(ReadMediaInfo(m_info, path), rows);
    }
    insertRows(rows);
    emit statusMessage(QStringLiteral("IDLE"));
    if (!m_refused.isEmpty())
        emit statusMessage(RefusedStatusLine(m_refused));
    m_refused.clear();
}

void JobList::AddMediaFiles(const QStringList &paths, bool byHand)
{
    if (paths.isEmpty())
        return;
    if (!m_adding) {
        m_adding = true;
        m_byHand = false;
        m_refused.clear();
        emit statusMessage(tr("获取媒体文件信息"));
    }
    m_byHand = m_byHand || byHand;
    m_reader->read(paths, App().TargetFolder);
}

void JobList::applyOne(const MediaInfo &info, QList<QTreeWidgetItem *> &rows)
{
    const QString &path = info.path;
    if (IsDuplicate(path)) {
        if (m_adding) {
            // An add of many names its duplicates together when it ends.
            m_refused.append({path, AddRefusal::Duplicate});
        } else {
            // The box runs an event loop of its own: the rows before it go in first.
            insertRows(rows);
            showDuplicateBox(path);
        }
    } else if (MediaType(path) == QLatin1String("CDA")) {
        insertRows(rows);
        emit cdTrackRequested(path);
    } else if (info.duration > 0) {
        const QString name = GetFileName(path);
        QStringList cells(JobColumn::Count);
        cells[JobColumn::Name] = name;
        cells[JobColumn::Source] = name;
        cells[JobColumn::SourcePath] = path.left(path.size() - name.size());
        cells[JobColumn::Size] = QString::number(info.fileSize);
        cells[JobColumn::PlayTime] = FormatDuration(info.duration);
        cells[JobColumn::Title] = info.title.isEmpty() ? UntitledPlaceholder() : info.title;
        cells[JobColumn::Album] = info.album;
        cells[JobColumn::Artist] = info.artist;
        cells[JobColumn::Year] = QString::number(info.year);
        cells[JobColumn::Comment] = info.comment;
        QTreeWidgetItem *item = newRow(cells, JobStatus::Queued);
        if (!info.baseFolder.isEmpty())
            item->setData(JobColumn::Name, BaseFolderRole, info.baseFolder);
        rows.append(item);
    } else {
        qWarning("Not added to the job list: %s (%s)", qPrintable(path), qPrintable(info.error));
        m_refused.append({path, info.refusal == AddRefusal::None ? AddRefusal::NotAudio : info.refusal});
    }
}

void JobList::applyResults()
{
    // A duplicate's box or a CD track's re-read runs the event loop in the middle of a slice;
    // the slice that is running picks up what arrives meanwhile.
    if (m_applying)
        return;
    m_applying = true;
    QElapsedTimer slice;
    slice.start();
    QList<QTreeWidgetItem *> rows;
    while (!m_results.empty() && slice.elapsed() < SliceMs) {
        const MediaInfo info = std::move(m_results.front());
        m_results.pop_front();
        applyOne(info, rows);
    }
    insertRows(rows);
    m_applying = false;
    if (!m_results.empty())
        m_applyTimer.start();
    else if (m_adding && m_reader->pending() == 0)
        finishAdding();
}

void JobList::refuseAdd(const QString &path, AddRefusal reason)
{
    qWarning("Not added to the job list: %s (%s)", qPrintable(path), qPrintable(RefusalText(reason)));
    if (m_adding)
        m_refused.append({path, reason});
    else
        emit statusMessage(RefusedStatusLine({{path, reason}}));
}

void JobList::showDuplicateBox(const QString &path)
{
    QMessageBox::information(window(), tr("重复的文件名"), tr("重复的文件名: %1").arg(path));
}

void JobList::finishAdding()
{
    m_adding = false;
    QList<RefusedPath> refused = std::exchange(m_refused, {});
    emit statusMessage(QStringLiteral("IDLE"));
    // One duplicate in an add the user made by hand gets the box of its own; any more, and
    // those of a command line or a hand-over, go into the notice with the other refusals.
    const auto duplicate = [](const RefusedPath &r) { return r.reason == AddRefusal::Duplicate; };
    if (m_byHand && std::count_if(refused.cbegin(), refused.cend(), duplicate) == 1) {
        const auto it = std::find_if(refused.cbegin(), refused.cend(), duplicate);
        const QString path = it->path;
        refused.erase(it);
        showDuplicateBox(path);
    }
    if (!refused.isEmpty()) {
        emit statusMessage(RefusedStatusLine(refused));
        // One notice for the whole add, replacing one still open from an earlier add.
        if (m_refusedNotice)
            m_refusedNotice->close();
        auto *notice = new QMessageBox(QMessageBox::Information, tr("未添加的文件"), RefusedNoticeText(refused, NoticeNames),
                                       QMessageBox::Ok, window());
        notice->setObjectName(QStringLiteral("RefusedNotice"));
        notice->setDetailedText(RefusedNoticeDetails(refused));
        // The box's icon is a picture without a name of its own: a screen reader would say "image".
        for (QLabel *label : notice->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull() && label->accessibleName().isEmpty())
                label->setAccessibleName(tr("信息"));
        }
        notice->setWindowModality(Qt::NonModal);
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice->show();
        m_refusedNotice = notice;
    }
    emit addingFinished();
}

void JobList::RemoveSelected()
{
    // Walk by position so that the remaining rows keep their order.
    for (int row = 0; row < rowCount(); ++row) {
        if (topLevelItem(row)->isSelected()) {
            delete takeTopLevelItem(row);
            --row;
        }
    }
}

void JobList::RemoveAll()
{
    QMessageBox box(QMessageBox::Question, tr("确认全部删除"), tr("您真的想要删除所有项目吗？"),
                    QMessageBox::Ok | QMessageBox::Cancel, window());
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    if (box.exec() == QMessageBox::Ok)
        clear();
}

// Files dropped here are only read: the drop is always taken as a copy, so that the source (a
// file manager offering to move) never deletes what it believes was moved. A source that does
// not allow a copy is refused.
Qt::DropActions JobList::supportedDropActions() const
{
    return Qt::CopyAction;
}

namespace {

bool AcceptAsCopy(QDropEvent *event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void JobList::dragEnterEvent(QDragEnterEvent *event)
{
    AcceptAsCopy(event);
}

void JobList::dragMoveEvent(QDragMoveEvent *event)
{
    AcceptAsCopy(event);
}

void JobList::dropEvent(QDropEvent *event)
{
    if (AcceptAsCopy(event))
        ListView1_OLEDragDrop(event->mimeData());
}

void JobList::ListView1_OLEDragDrop(const QMimeData *dropped)
{
    if (!dropped)
        return;
    // A list of files, as file managers (and the program's own file list) drag them. A folder
    // brings the audio files inside it, in name order.
    if (dropped->hasUrls()) {
        QStringList paths;
        for (const QUrl &url : dropped->urls()) {
            if (url.isLocalFile())
                paths << QDir::toNativeSeparators(url.toLocalFile());
        }
        AddMediaFiles(paths, true);
        return;
    }
    emit addSelectionRequested();
}

} // namespace Sveltra
