#include "gui/mainwindow/joblist.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QtDebug>

#include "core/convert/audioinformation.h"
#include "core/convert/jobrules.h"
#include "core/convert/runsummary.h"
#include "core/layout/layout.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

constexpr int StatusRole = Qt::UserRole + 1;

// Every cell of a row tells a screen reader the row's state: "等待", "已完成" or "失败：" and the
// reason that its tooltip shows.
void describeRow(QTreeWidgetItem *item)
{
    const QString text = RowStatusText(item->data(JobColumn::Name, StatusRole).toInt(), item->toolTip(JobColumn::Name));
    for (int column = 0; column < JobColumn::Count; ++column)
        item->setData(column, Qt::AccessibleDescriptionRole, text);
}

struct ColumnSpec
{
    const char16_t *header;
    const char *key;
    int widthTwips;
};

constexpr ColumnSpec columns[JobColumn::Count] = {
    {u"S", "", 300},
    {u"标题", "", 2000},
    {u"来源路径", "SourcePath", 1500},
    {u"媒体文件", "Source", 2500},
    {u"播放时间", "", 1000},
    {u"大小", "", 1000},
    {u"目标媒体文件", "Target", 2500},
    {u"压缩大小", "", 1000},
    {u"压缩率", "", 1400},
    {u"专辑", "", 1440},
    {u"艺术家", "", 1000},
    {u"年份", "", 400},
    {u"注释", "", 1440},
    {u"流派", "", 100},
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
    setAccessibleName(QStringLiteral("压缩列表"));
    setColumnCount(JobColumn::Count);
    QStringList headers;
    for (const ColumnSpec &c : columns)
        headers << QString::fromUtf16(c.header);
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
}

QString JobList::cell(int row, int column) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void JobList::setCell(int row, int column, const QString &text)
{
    if (QTreeWidgetItem *item = topLevelItem(row))
        item->setText(column, text);
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
    item->setData(JobColumn::Name, StatusRole, status);
    item->setIcon(JobColumn::Name, ImageListIcon(QStringLiteral("joblist"), status));
    describeRow(item);
}

void JobList::setNote(int row, const QString &note)
{
    if (QTreeWidgetItem *item = topLevelItem(row)) {
        for (int column = 0; column < JobColumn::Count; ++column)
            item->setToolTip(column, note);
        describeRow(item);
    }
}

QString JobList::sourcePath(int row) const
{
    return cell(row, JobColumn::SourcePath) + cell(row, JobColumn::Source);
}

QTreeWidgetItem *JobList::appendRow(const QStringList &cells, int status)
{
    auto *item = new QTreeWidgetItem(this);
    for (int i = 0; i < cells.size() && i < JobColumn::Count; ++i)
        item->setText(i, cells[i]);
    setStatus(indexOfTopLevelItem(item), status);
    return item;
}

bool JobList::IsDuplicate(const QString &path) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (status(row) == JobStatus::Queued && sourcePath(row) == path)
            return true;
    }
    return false;
}

void JobList::AddMediaFile(const QString &path)
{
    emit statusMessage(QStringLiteral("获取媒体文件信息"));

    if (IsDuplicate(path)) {
        QMessageBox::information(window(), QStringLiteral("重复的文件名"), QStringLiteral("重复的文件名: ") + path);
    } else if (MediaType(path) == QLatin1String("CDA")) {
        emit cdTrackRequested(path);
    } else {
        m_info.TagMode = 1;
        m_info.ReadFile(path);
        if (MediaType(path) == QLatin1String("MP3") && m_info.Title.isEmpty()) {
            m_info.TagMode = 2;
            m_info.ReadFile(path);
        }
        if (m_info.Duration > 0) {
            const QString name = GetFileName(path);
            QStringList cells(JobColumn::Count);
            cells[JobColumn::Name] = name;
            cells[JobColumn::Source] = name;
            cells[JobColumn::SourcePath] = path.left(path.size() - name.size());
            cells[JobColumn::Size] = QString::number(m_info.FileSize);
            cells[JobColumn::PlayTime] = FormatDuration(m_info.Duration);
            cells[JobColumn::Title] = m_info.Title.isEmpty() ? QStringLiteral("Unknown") : m_info.Title;
            cells[JobColumn::Album] = m_info.Album;
            cells[JobColumn::Artist] = m_info.Artist;
            cells[JobColumn::Year] = QString::number(m_info.Year);
            cells[JobColumn::Comment] = m_info.Comment;
            scrollToItem(appendRow(cells));
        } else {
            qWarning("Not added to the job list: %s (%s)", qPrintable(path), qPrintable(m_info.lastError()));
        }
    }

    emit statusMessage(QStringLiteral("IDLE"));
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
    QMessageBox box(QMessageBox::Question, QStringLiteral("确认全部删除"), QStringLiteral("您真的想要删除所有项目吗？"),
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
    // A list of files, as file managers (and the program's own file list) drag them.
    if (dropped->hasUrls()) {
        for (const QUrl &url : dropped->urls()) {
            if (url.isLocalFile())
                AddMediaFile(QDir::toNativeSeparators(url.toLocalFile()));
        }
        return;
    }
    emit addSelectionRequested();
}

} // namespace Sveltra
