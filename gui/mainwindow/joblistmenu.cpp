#include "gui/mainwindow/joblistmenu.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QShortcut>
#include <QtDebug>

#include <algorithm>

#include "core/joblist/jobrows.h"
#include "gui/mainwindow/joblist.h"
#include "gui/platform/publicfunctions.h"

namespace Sveltra {

JobListMenu::JobListMenu(JobList *list, std::function<void()> removeSelected, std::function<void(const QString &)> showMessage)
    : QObject(list)
    , m_list(list)
    , m_showMessage(std::move(showMessage))
    , m_menu(new QMenu(list))
{
    m_menu->setObjectName(QStringLiteral("mnuJobList"));
    m_menu->setAccessibleName(tr("压缩列表菜单"));
    const auto entry = [this](const char *name, const QString &text) {
        QAction *action = new QAction(text, m_list);
        action->setObjectName(QString::fromLatin1(name));
        // Its key works while the list (not some other area) has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_list->addAction(action);
        m_menu->addAction(action);
        return action;
    };
    m_remove = entry("mnuListRemove", tr("移除"));
    m_remove->setShortcut(QKeySequence::Delete);
    m_requeue = entry("mnuListRequeue", tr("重新压缩"));
    m_menu->addSeparator();
    m_openFolder = entry("mnuListOpenFolder", tr("打开所在文件夹"));
    m_openTarget = entry("mnuListOpenTarget", tr("打开输出文件"));

    connect(m_remove, &QAction::triggered, this, [removeSelected = std::move(removeSelected)] { removeSelected(); });
    connect(m_requeue, &QAction::triggered, this, &JobListMenu::requeue);
    connect(m_openFolder, &QAction::triggered, this, &JobListMenu::openFolder);
    connect(m_openTarget, &QAction::triggered, this, &JobListMenu::openTarget);

    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &JobListMenu::popup);
    auto *keyboard = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), m_list, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
    connect(keyboard, &QShortcut::activated, this, [this] {
        // Below the current row, near its start: the row is often wider than the view.
        QTreeWidgetItem *item = m_list->currentItem();
        const QRect rect = item ? m_list->visualItemRect(item) : QRect();
        const QRect view = m_list->viewport()->rect();
        popup(rect.isValid() ? QPoint(std::clamp(rect.left() + 24, 0, view.right()), std::clamp(rect.bottom(), 0, view.bottom()))
                             : QPoint(0, 0));
    });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &JobListMenu::updateActions);
    updateActions();
}

int JobListMenu::actionRow() const
{
    QTreeWidgetItem *current = m_list->currentItem();
    if (current && current->isSelected())
        return m_list->indexOfTopLevelItem(current);
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (m_list->topLevelItem(row)->isSelected())
            return row;
    }
    return -1;
}

void JobListMenu::updateActions()
{
    const int row = actionRow();
    m_remove->setEnabled(row >= 0);
    bool ended = false;
    for (int r = 0; r < m_list->rowCount() && !ended; ++r)
        ended = m_list->topLevelItem(r)->isSelected() && m_list->status(r) != JobStatus::Queued;
    m_requeue->setEnabled(ended);
    m_openFolder->setEnabled(row >= 0 && QFileInfo(m_list->cell(row, JobColumn::SourcePath)).isDir());
    const QString target = row >= 0 ? m_list->cell(row, JobColumn::Target) : QString();
    m_openTarget->setEnabled(row >= 0 && (m_list->status(row) == JobStatus::Done || m_list->status(row) == JobStatus::Damaged)
                             && !target.isEmpty() && QFileInfo(target).isFile());
}

void JobListMenu::popup(const QPoint &viewportPosition)
{
    updateActions();
    m_menu->popup(m_list->viewport()->mapToGlobal(viewportPosition));
}

void JobListMenu::requeue()
{
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const int status = m_list->status(row);
        if (!m_list->topLevelItem(row)->isSelected()
            || (status != JobStatus::Failed && status != JobStatus::Done && status != JobStatus::Damaged))
            continue;
        // A source already queued in another row stays there once.
        if (m_list->IsDuplicate(m_list->sourcePath(row)))
            continue;
        for (const int column : {JobColumn::Target, JobColumn::TargetSize, JobColumn::Ratio})
            m_list->setCell(row, column, QString());
        m_list->setNote(row, QString());
        m_list->setStatus(row, JobStatus::Queued);
        m_list->setReconvert(row, true); // asked for by name: not skipped as up to date
    }
    updateActions();
}

void JobListMenu::openFolder()
{
    updateActions();
    if (m_openFolder->isEnabled())
        open(m_list->cell(actionRow(), JobColumn::SourcePath));
}

void JobListMenu::openTarget()
{
    updateActions();
    if (m_openTarget->isEnabled())
        open(m_list->cell(actionRow(), JobColumn::Target));
}

void JobListMenu::open(const QString &path)
{
    if (OpenLocalPath(path))
        return;
    qWarning("The desktop cannot open %s", qPrintable(path));
    if (m_showMessage)
        m_showMessage(tr("无法打开：%1").arg(path));
}

} // namespace Sveltra
