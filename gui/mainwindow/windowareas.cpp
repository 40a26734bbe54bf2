#include "gui/mainwindow/windowareas.h"

#include <QDataStream>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QToolBar>

#include <cmath>
#include <optional>
#include <vector>

#include "core/layout/windowplacement.h"
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
    m_splitH->setAccessibleName(tr("左右分隔条"));
    m_splitH->setAccessibleDescription(tr("用左右方向键调整文件夹栏的宽度"));
    m_splitV = new SplitBar(Qt::Vertical, m_area);
    m_splitV->setObjectName(QStringLiteral("SplitV"));
    m_splitV->setAccessibleName(tr("上下分隔条"));
    m_splitV->setAccessibleDescription(tr("用上下方向键调整上方区域的高度"));

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
    const Layout::Frame f = frame();
    if (f.W > 0) {
        if (m_shareWidth > 0 && f.W != m_shareWidth)
            areas.tree.width = int(std::lround(m_treeShare * f.W));
        else
            m_treeShare = double(areas.tree.width) / f.W;
        m_shareWidth = f.W;
    }
    Layout::LayoutPass(areas, f, m_arrangement);
    writeAreas(areas);
}

namespace {

const QString GeometryKey = QStringLiteral("MainWindow/geometry"); // earlier versions' form, read only
const QString LeftKey = QStringLiteral("MainWindow/left");
const QString TopKey = QStringLiteral("MainWindow/top");
const QString WidthKey = QStringLiteral("MainWindow/width");
const QString HeightKey = QStringLiteral("MainWindow/height");
const QString MaximizedKey = QStringLiteral("MainWindow/maximized");

// A window file is a few hundred bytes; anything much larger is not one, and is not read.
constexpr qint64 MaxStateFileBytes = 64 * 1024;

// The window's place and size as the file keeps them; nothing is sized from them before
// Layout::PlacedWindow has taken them.
struct KeptWindow
{
    Layout::PixelRect rect;
    bool maximized = false;
};

std::optional<int> keptInt(const QSettings &store, const QString &key)
{
    bool ok = false;
    const int value = store.value(key).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The form earlier versions wrote: Qt's geometry record (magic 0x1D9D0CB, version, the frame and
// the normal geometry, the screen, the maximized flag ...). Only fixed-size fields are read.
std::optional<KeptWindow> fromGeometryRecord(const QByteArray &record)
{
    QDataStream stream(record);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0, minor = 0;
    QRect frame, normal;
    qint32 screen = 0;
    quint8 maximized = 0;
    stream >> magic >> major >> minor >> frame >> normal >> screen >> maximized;
    if (stream.status() != QDataStream::Ok || magic != 0x1D9D0CB || major < 1 || major > 3)
        return std::nullopt;
    return KeptWindow{{frame.x(), frame.y(), normal.width(), normal.height()}, maximized != 0};
}

std::optional<KeptWindow> keptWindow(const QSettings &store)
{
    const auto left = keptInt(store, LeftKey), top = keptInt(store, TopKey);
    const auto width = keptInt(store, WidthKey), height = keptInt(store, HeightKey);
    if (left && top && width && height)
        return KeptWindow{{*left, *top, *width, *height}, store.value(MaximizedKey).toBool()};
    if (store.contains(GeometryKey))
        return fromGeometryRecord(store.value(GeometryKey).toByteArray());
    return std::nullopt;
}
const QString ArrangementKey = QStringLiteral("MainWindow/arrangement");
const QString TreeWidthKey = QStringLiteral("MainWindow/treeWidth");
const QString TreeHeightKey = QStringLiteral("MainWindow/treeHeight");
const QString FileListHeightKey = QStringLiteral("MainWindow/fileListHeight");

// A size kept in pixels, in twips when it lies strictly inside the margins a drag keeps.
std::optional<int> keptSize(const QSettings &store, const QString &key, int limit)
{
    bool ok = false;
    const int pixels = store.value(key).toInt(&ok);
    const int twips = Layout::ToTwips(pixels);
    if (!ok || pixels <= 0 || twips <= Layout::DragMargin || twips >= limit - Layout::DragMargin)
        return std::nullopt;
    return twips;
}

} // namespace

bool WindowAreas::saveState(const QString &path) const
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSettings store(path, QSettings::IniFormat);
    // The normal place and size, also while maximized, so that leaving the maximized state
    // after the next start gives back the window the user had.
    const QRect normal = m_window.isMaximized() ? m_window.normalGeometry() : QRect(m_window.pos(), m_window.size());
    store.remove(GeometryKey);
    store.setValue(LeftKey, normal.x());
    store.setValue(TopKey, normal.y());
    store.setValue(WidthKey, normal.width());
    store.setValue(HeightKey, normal.height());
    store.setValue(MaximizedKey, m_window.isMaximized());
    store.setValue(ArrangementKey, m_arrangement);
    store.setValue(TreeWidthKey, m_controls.tree->width());
    store.setValue(TreeHeightKey, m_controls.tree->height());
    store.setValue(FileListHeightKey, m_controls.fileList->height());
    store.sync();
    if (store.status() != QSettings::NoError) {
        qWarning("Cannot write the window's state to %s", qPrintable(path));
        return false;
    }
    return true;
}

bool WindowAreas::restoreState(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    const auto refuse = [&path](const char *why) {
        qWarning("The window's state in %s %s; the window opens as at a first start", qPrintable(path), why);
        return false;
    };
    if (file.size() > MaxStateFileBytes)
        return refuse("is far too large to be one");
    const QSettings store(path, QSettings::IniFormat);
    const std::optional<KeptWindow> kept = store.status() == QSettings::NoError ? keptWindow(store) : std::nullopt;
    if (!kept)
        return refuse("cannot be read");
    std::vector<Layout::PixelRect> screens;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect available = screen->availableGeometry();
        screens.push_back({available.x(), available.y(), available.width(), available.height()});
    }
    const QSize minimum = m_window.minimumSize().expandedTo(m_window.minimumSizeHint());
    const auto rect = Layout::PlacedWindow(kept->rect, screens, minimum.width(), minimum.height());
    if (!rect)
        return refuse("holds no size a window can take");
    m_window.resize(rect->width, rect->height);
    m_window.move(rect->x, rect->y);
    if (kept->maximized)
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
    placeAfresh();

    // The sizes as the arrangement that was left had them, then the pass of that arrangement.
    const Layout::Frame f = frame();
    Layout::Areas areas = readAreas();
    const int arrangement = store.value(ArrangementKey).toInt();
    if (arrangement == 1 || arrangement == 2)
        m_arrangement = arrangement;
    if (const auto width = keptSize(store, TreeWidthKey, f.W))
        areas.tree.width = *width;
    if (const auto height = keptSize(store, TreeHeightKey, f.H); height && m_arrangement == 1)
        areas.tree.height = *height;
    if (const auto height = keptSize(store, FileListHeightKey, f.H); height && m_arrangement == 2)
        areas.fileList.height = *height;
    writeAreas(areas);
    m_shareWidth = 0; // the kept width is the user's: take the share from it
    Form_Resize();
    return true;
}

void WindowAreas::sizeToScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        const Layout::PixelRect rect = Layout::FirstStartWindow(
            {available.x(), available.y(), available.width(), available.height()}, m_window.width(), m_window.height());
        m_window.resize(rect.width, rect.height);
        m_window.move(rect.x, rect.y);
    }
    placeAfresh();
}

void WindowAreas::placeAfresh()
{
    m_shareWidth = 0;
    setInitialSizes();
    InitForm();
    Form_Resize();
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
