#include "gui/mainwindow/openrequests.h"

#include "core/browse/audiofiles.h"
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
    const QStringList files = AudioFilesIn(paths);
    if (files.isEmpty() && !paths.isEmpty())
        qWarning("Nothing to add from %s: no such file, or no audio file inside", qPrintable(paths.join(QStringLiteral(", "))));
    // Read on worker threads: a whole library given at once leaves the window responsive.
    m_form.AddMediaFiles(files);
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
