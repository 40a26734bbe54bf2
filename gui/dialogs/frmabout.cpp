#include "gui/dialogs/frmabout.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "core/base/appstate.h"
#include "core/base/version.h"
#include "gui/platform/publicfunctions.h"
#include "gui/skin/imagelist.h"
#include "gui/skin/picturebutton.h"

namespace Sveltra {

namespace {

// Window geometry is designed in twips, 15 to the pixel.
constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_TranslucentBackground);
    // A click on a label is not a click on the background.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget *mainWindow, QWidget *parent)
    : SkinnedWindow(QStringLiteral(":/about/background.png"), QSize(339, 278), parent)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("关于 Sveltra"));
    setAccessibleName(windowTitle());

    lblVersion = makeLabel(this, "lblVersion", fromTwips(1080, 2280, 2775, 375));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(9);
    arial.setBold(true);
    lblVersion->setFont(arial);
    lblVersion->setAlignment(Qt::AlignCenter);
    QPalette yellow = lblVersion->palette();
    yellow.setColor(QPalette::WindowText, QColor(255, 255, 0));
    lblVersion->setPalette(yellow);

    lblBuild = makeLabel(this, "lblBuild", fromTwips(300, 3540, 1755, 315));
    lblBuild->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bold = lblBuild->font();
    bold.setPointSize(9);
    bold.setBold(true);
    lblBuild->setFont(bold);

    imgExit = new PictureButton(this);
    imgExit->setObjectName(QStringLiteral("imgExit"));
    imgExit->setGeometry(fromTwips(4440, 120, 330, 330));
    imgExit->setPicture(QPixmap(QStringLiteral(":/about/exit.png")));
    imgExit->setPressedPicture(QPixmap(QStringLiteral(":/about/exit_down.png")));
    imgExit->setAccessibleName(tr("关闭"));
    imgExit->setToolTip(tr("关闭"));
    connect(imgExit, &QAbstractButton::clicked, this, &QWidget::close);

    Image1 = new PictureButton(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(fromTwips(4680, 3720, 135, 135));
    Image1->setPicture(QPixmap(QStringLiteral(":/about/image1.png")));
    Image1->setAccessibleName(tr("显示开发组图片"));

    imgMe = new PictureButton(this);
    imgMe->setObjectName(QStringLiteral("imgMe"));
    // The picture box takes its picture's size (182 × 127).
    const QPixmap me(LocalizedPicture(QStringLiteral(":/about/me.png")));
    imgMe->setGeometry(fromTwips(1200, 1140, 2790, 1965));
    if (!me.isNull())
        imgMe->resize(me.deviceIndependentSize().toSize());
    imgMe->setPicture(me);
    imgMe->setAccessibleName(tr("隐藏开发组图片"));

    // Keyboard focus follows the picture, so Enter or Space hides it again.
    connect(Image1, &QAbstractButton::clicked, this, [this] {
        imgMe->show();
        if (Image1->showsFocusFrame())
            imgMe->setFocus(Qt::TabFocusReason);
    });
    connect(imgMe, &QAbstractButton::clicked, this, [this] {
        const bool keyboard = imgMe->showsFocusFrame();
        imgMe->hide();
        if (keyboard)
            Image1->setFocus(Qt::TabFocusReason);
    });
    setTabOrder(imgExit, Image1);
    setTabOrder(Image1, imgMe);

    // Load.
    lblBuild->setText(tr("内部版本:%1").arg(App().BuildNumber));
    imgMe->hide();
    SetTopMost(this, true);
    if (m_mainWindow)
        m_mainWindow->setEnabled(false);
    lblVersion->setText(tr("版本 %1").arg(VersionText()));
}

frmAbout::~frmAbout()
{
    enableMainWindow();
}

void frmAbout::enableMainWindow()
{
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
}

void frmAbout::mousePressEvent(QMouseEvent *event)
{
    // A click on the background closes the box; it is not dragged.
    m_backgroundPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void frmAbout::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_backgroundPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_backgroundPressed = false;
    event->accept();
    if (click)
        close();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    enableMainWindow();
    SkinnedWindow::closeEvent(event);
}

} // namespace Sveltra
