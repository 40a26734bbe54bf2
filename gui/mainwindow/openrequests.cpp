#include "gui/mainwindow/openrequests.h"

#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/form1.h"

namespace Sveltra {

OpenRequests::OpenRequests(Form1 &form, QObject *parent)
    : QObject(parent)
    , m_form(form)
{
}

void OpenRequests::open(const QStringList &paths, bool raise)
{
    if (raise)
        bringForward();
    // Folders are walked and files read on worker threads: a whole library given at once leaves
    // the window responsive. What cannot be added is named in the job list's notice.
    m_form.AddMediaFiles(paths);
}

void OpenRequests::bringForward()
{
    QWidget *window = &m_form;
    if (frmMonitor *monitor = m_form.monitorWindow(); monitor && monitor->isVisible())
        window = monitor;
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Sveltra
