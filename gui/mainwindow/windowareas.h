#pragma once

#include <QObject>

#include "core/layout/layout.h"

class QMainWindow;
class QToolBar;
class QWidget;

namespace Sveltra {

class SplitBar;

// The main window's working areas and the two splitter bars between them: the first placement,
// the layout pass of either arrangement, the switch between arrangements, the splitter drags
// by mouse and keyboard, and keeping the window's state between starts. The sizes the user sets live in the controls: each pass
// reads them into twips, runs the rules of core/layout/layout.h and writes the result back, converting to pixels at this boundary
// only. The areas are laid out again whenever the work area changes size or the window comes back from being minimized.
// User-interface thread only.
class WindowAreas final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowAreas)

public:
    // The areas it places: children of the window's work area (its central widget), except the
    // combo box, which sits on the format bar.
    struct Controls
    {
        QWidget *tree = nullptr;        // XTreeView1
        QWidget *formatBar = nullptr;   // tbFormat
        QWidget *formatCombo = nullptr; // cbFormat
        QWidget *fileList = nullptr;    // XListView1
        QWidget *jobList = nullptr;     // ListView1
        QWidget *outputBar = nullptr;   // Picture1
    };

    // Creates the bars SplitH and SplitV on the work area, which the window has already set as
    // its central widget. The toolbar is the window's main toolbar, whose top is the top of the
    // client area.
    WindowAreas(QMainWindow &window, QToolBar &toolbar, const Controls &controls);

    SplitBar *splitH() const { return m_splitH; }
    SplitBar *splitV() const { return m_splitV; }

    // 1: tree over the file list on the left, job list on the right; 2 (at start): tree alone
    // on the left, format bar, file list and job list on the right.
    int arrangement() const { return m_arrangement; }
    // 0 no splitter drag; 1 dragging SplitH; 2 dragging SplitV.
    int dragState() const { return m_dragState; }
    // Arrangement 2 and no drag, as the window loads.
    void reset();

    // The tree's size before the first placement: 0.3 of the client width, 0.5 of its height.
    void setInitialSizes();
    // The first placement.
    void InitForm();
    // The layout pass of the current arrangement; does nothing while the window is minimized.
    void Form_Resize();
    // Switches the arrangement and lays the areas out again.
    void ButtonLayout();

    // What the user leaves behind, for the next start: the window's size and place, the
    // arrangement and the sizes the splitters set, in a file of Qt's own settings format.
    // Returns false when the file cannot be written.
    bool saveState(const QString &path) const;
    // Brings back what saveState kept and places the areas again, before the window is shown.
    // Values that do not fit the window are left at their start-up sizes. Returns false, having
    // changed nothing, when nothing was kept (a first start) or the kept size is no window's
    // (Layout::PlacedWindow, which also brings a window that hangs off a screen back onto it):
    // the caller then sizes it to the screen.
    bool restoreState(const QString &path);
    // The first start: the window takes two thirds of the screen's width and three quarters of
    // its height (never less than its designed size, never more than the screen), centred,
    // and the areas start from their initial shares of it.
    void sizeToScreen();

    // The splitter bars: mouse button and pointer offsets in pixels from the bar's edge.
    void SplitH_MouseDown(Qt::MouseButton button);
    void SplitH_MouseMove(int offset);
    void SplitH_MouseUp(Qt::MouseButton button);
    void SplitV_MouseDown(Qt::MouseButton button);
    void SplitV_MouseMove(int offset);
    void SplitV_MouseUp(Qt::MouseButton button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Layout::Frame frame();
    Layout::Areas readAreas() const;
    void writeAreas(const Layout::Areas &areas);
    // A keyboard step on a bar, taken as a drag by that many pixels.
    void keyboardStep(SplitBar *bar, int pixels);

    // Places everything afresh for the window's current size: initial sizes, first placement.
    void placeAfresh();

    QMainWindow &m_window;
    QToolBar &m_toolbar;
    QWidget *m_area; // the work area
    Controls m_controls;
    SplitBar *m_splitH = nullptr;
    SplitBar *m_splitV = nullptr;
    int m_arrangement = 2;
    int m_dragState = 0;
    // The tree keeps its share of the client width when the window changes width, so that a
    // larger window gives the folder names more room too. m_shareWidth is the width the share
    // was taken at (0: none yet); a pass at the same width takes the share afresh, since only
    // the user (a drag, the keyboard) changes the tree's width then.
    double m_treeShare = 0;
    int m_shareWidth = 0;
};

} // namespace Sveltra
