#pragma once

#include <QPointer>

#include "gui/skin/skinnedwindow.h"

class QLabel;

// The About box: the version and the build number on the skin. It stays above all other
// windows, and the main window is disabled from the moment it opens until it closes, whichever
// way it closes (its close button, a click on its background, Esc, the window manager, or
// being deleted). A hidden picture appears from a tiny hot spot near the lower right corner.
namespace Sveltra {

class PictureButton;

class frmAbout final : public SkinnedWindow
{
    Q_OBJECT

public:
    // mainWindow is disabled while the box is open; the box itself has no owner.
    explicit frmAbout(QWidget *mainWindow, QWidget *parent = nullptr);
    ~frmAbout() override;

    QLabel *lblVersion = nullptr;
    QLabel *lblBuild = nullptr;
    PictureButton *imgExit = nullptr;
    PictureButton *Image1 = nullptr; // shows imgMe
    PictureButton *imgMe = nullptr;  // hidden picture; a click hides it again

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void enableMainWindow();

    QPointer<QWidget> m_mainWindow;
    bool m_backgroundPressed = false;
};

} // namespace Sveltra
