#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QPoint;

namespace Sveltra {

class JobList;

// The job list's context menu and keys: "移除" (also the Delete key) removes the selected rows
// as the toolbar's "移除" does; "打开所在文件夹" opens the current row's source folder and
// "打开输出文件" its converted file, each in the desktop's own program. The menu opens with the
// right button, the menu key or Shift+F10; "重新压缩" queues the selected failed or done rows
// again (their target cells cleared until the next run fills them); an entry that cannot apply to the current row is
// greyed out. Belongs to the list; user-interface thread.
class JobListMenu final : public QObject
{
    Q_OBJECT

public:
    JobListMenu(JobList *list, std::function<void()> removeSelected, std::function<void(const QString &)> showMessage);

    QMenu *menu() const { return m_menu; }
    QAction *removeAction() const { return m_remove; }
    QAction *requeueAction() const { return m_requeue; }
    QAction *openFolderAction() const { return m_openFolder; }
    QAction *openTargetAction() const { return m_openTarget; }

    // The row the open entries act on: the current row when it is selected, else the first
    // selected row; -1 when none is selected.
    int actionRow() const;
    // Greys out what cannot apply to the selection now.
    void updateActions();

private:
    void popup(const QPoint &viewportPosition);
    void requeue();
    void openFolder();
    void openTarget();
    void open(const QString &path);

    JobList *m_list;
    std::function<void(const QString &)> m_showMessage;
    QMenu *m_menu;
    QAction *m_remove;
    QAction *m_requeue;
    QAction *m_openFolder;
    QAction *m_openTarget;
};

} // namespace Sveltra
