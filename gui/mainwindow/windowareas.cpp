#include "gui/mainwindow/windowareas.h"

#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QToolBar>

#include "gui/mainwindow/twips.h"
#include "gui/skin/splitbar.h"

namespace Sveltra {

WindowAreas::WindowAreas(QMainWindow &window, QToolBar &toolbar, const Controls &controls)
    : QObject(&window)
    , m_window(window)
    , m_toolbar(toolbar)
    , m_area(window.centralWidget())
    , m_controls(controls)
{
    m_splitH = new SplitBar(Qt::Horizontal, m_area);
    m_splitH->setObjectName(QStringLiteral("SplitH"));
    m_splitH->setAccessibleName(QStringLiteral("左右分隔条"));
    m_splitH->setAccessibleDescription(QStringLiteral("用左右方向键调整文件夹栏的宽度"));
    m_splitV = new SplitBar(Qt::Vertical, m_area);
    m_splitV->setObjectName(QStringLiteral("SplitV"));
    m_splitV->setAccessibleName(QStringLiteral("上下分隔条"));
    m_splitV->setAccessibleDescription(QStringLiteral("用上下方向键调整上方区域的高度"));

    connect(m_splitH, &SplitBar::mousePressed, this, &WindowAreas::SplitH_MouseDown);
    connect(m_splitH, &SplitBar::mouseMoved, this, &WindowAreas::SplitH_MouseMove);
    connect(m_splitH, &SplitBar::mouseReleased, this, &WindowAreas::SplitH_MouseUp);
    connect(m_splitV, &SplitBar::mousePressed, this, &WindowAreas::SplitV_MouseDown);
    connect(m_splitV, &SplitBar::mouseMoved, this, &WindowAreas::SplitV_MouseMove);
    connect(m_splitV, &SplitBar::mouseReleased, this, &WindowAreas::SplitV_MouseUp);
    connect(m_splitH, &SplitBar::keyboardStep, this, [this](int pixels) { keyboardStep(m_splitH, pixels); });
    connect(m_splitV, &SplitBar::keyboardStep, this, [this](int pixels) { keyboardStep(m_splitV, pixels); });

    window.installEventFilter(this);
    m_area->installEventFilter(this);
}

void WindowAreas::reset()
{
    m_dragState = 0;
    m_arrangement = 2;
}

void WindowAreas::setInitialSizes()
{
    Layout::Areas areas = readAreas();
    Layout::InitialSizes(areas, frame());
    writeAreas(areas);
}

void WindowAreas::InitForm()
{
    Layout::Areas areas = readAreas();
    Layout::InitForm(areas, frame());
    writeAreas(areas);
}

void WindowAreas::Form_Resize()
{
    if (m_window.isMinimized())
        return;
    Layout::Areas areas = readAreas();
    Layout::LayoutPass(areas, frame(), m_arrangement);
    writeAreas(areas);
}

void WindowAreas::ButtonLayout()
{
    Layout::Areas areas = readAreas();
    m_arrangement = Layout::SwitchArrangement(m_arrangement, areas);
    writeAreas(areas);
    Form_Resize();
}

Layout::Frame WindowAreas::frame()
{
    // Before the window is first shown its docked parts have not been placed yet.
    if (!m_window.isVisible() && m_window.layout())
        m_window.layout()->setGeometry(m_window.rect());
    const int clientTop = m_toolbar.y(); // below the menu bar, which is not client area
    Layout::Frame f;
    f.W = Layout::ToTwips(m_window.width());
    f.H = Layout::ToTwips(m_window.height() - clientTop);
    f.Top0 = Layout::ToTwips(m_area->y() - clientTop);
    f.Left0 = Layout::ToTwips(m_toolbar.x());
    f.Bottom0 = Layout::ToTwips(m_area->y() + m_area->height() - clientTop);
    return f;
}

Layout::Areas WindowAreas::readAreas() const
{
    // The areas live on the work area, whose top is the main toolbar's bottom (Top0).
    const int top0 = Layout::ToTwips(m_area->y() - m_toolbar.y());
    auto read = [top0](const QWidget *widget) {
        Layout::Rect r = Layout::TwipsOf(widget);
        r.top += top0;
        return r;
    };
    Layout::Areas a;
    a.tree = read(m_controls.tree);
    a.splitV = read(m_splitV);
    a.tbFormat = read(m_controls.formatBar);
    a.cbFormat = Layout::TwipsOf(m_controls.formatCombo);
    a.fileList = read(m_controls.fileList);
    a.splitH = read(m_splitH);
    a.jobList = read(m_controls.jobList);
    a.outputBar = read(m_controls.outputBar);
    return a;
}

void WindowAreas::writeAreas(const Layout::Areas &a)
{
    const int top0 = Layout::ToTwips(m_area->y() - m_toolbar.y());
    auto write = [top0](QWidget *widget, Layout::Rect r) {
        r.top -= top0;
        Layout::Place(widget, r);
    };
    write(m_controls.tree, a.tree);
    write(m_splitV, a.splitV);
    write(m_controls.formatBar, a.tbFormat);
    Layout::Place(m_controls.formatCombo, a.cbFormat);
    write(m_controls.fileList, a.fileList);
    write(m_splitH, a.splitH);
    write(m_controls.jobList, a.jobList);
    write(m_controls.outputBar, a.outputBar);
}

void WindowAreas::SplitH_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 1;
}

void WindowAreas::SplitV_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 2;
}

void WindowAreas::SplitH_MouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 0;
}

void WindowAreas::SplitV_MouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 0;
}

void WindowAreas::SplitH_MouseMove(int offset)
{
    if (m_dragState != 1)
        return;
    Layout::Areas areas = readAreas();
    const Layout::Frame f = frame();
    const Layout::DragStep step = Layout::DragSplitter(areas.tree.width, Layout::ToTwips(offset), f.W, f.W,
                                                       Layout::ToTwips(m_window.frameGeometry().width()));
    if (!step.taken)
        return;
    areas.tree.width = step.size;
    writeAreas(areas);
    Form_Resize();
}

void WindowAreas::SplitV_MouseMove(int offset)
{
    if (m_dragState != 2)
        return;
    Layout::Areas areas = readAreas();
    const Layout::Frame f = frame();
    // Arrangement 1 sizes the tree above the bar, arrangement 2 the file list.
    int &size = m_arrangement == 1 ? areas.tree.height : areas.fileList.height;
    const Layout::DragStep step = Layout::DragSplitter(size, Layout::ToTwips(offset), f.H, f.W,
                                                       Layout::ToTwips(m_window.frameGeometry().width()));
    if (step.taken) {
        size = step.size;
        writeAreas(areas);
    }
    Form_Resize();
}

void WindowAreas::keyboardStep(SplitBar *bar, int pixels)
{
    // An arrow key is a drag whose pointer sits that many pixels past the bar's edge.
    const int saved = m_dragState;
    if (bar == m_splitH) {
        m_dragState = 1;
        SplitH_MouseMove(pixels);
    } else {
        m_dragState = 2;
        SplitV_MouseMove(pixels);
    }
    m_dragState = saved;
}

bool WindowAreas::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_area)
            Form_Resize();
    } else if (event->type() == QEvent::WindowStateChange && watched == &m_window) {
        // Restoring a minimized window changes no size, yet the areas are laid out again.
        if (!m_window.isMinimized())
            Form_Resize();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Sveltra
