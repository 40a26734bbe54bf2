#include "gui/mainwindow/statusbar.h"

#include <QPainter>
#include <QStyle>

#include "core/base/appstate.h"
#include "core/profile/profile.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {
constexpr int PictureSize = 16;
constexpr int PictureGap = 4;
} // namespace

StatusPanelLabel::StatusPanelLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setContentsMargins(PictureSize + PictureGap, 0, 4, 0);
    setMinimumHeight(PictureSize + 4);
}

void StatusPanelLabel::setPicture(int imageListIndex)
{
    m_picture = imageListIndex;
    m_pixmap = ImageListIcon(QStringLiteral("statusbar"), imageListIndex)
                   .pixmap(QSize(PictureSize, PictureSize), devicePixelRatioF());
    update();
}

void StatusPanelLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QPoint(1, (height() - PictureSize) / 2), m_pixmap);
}

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("tbStatus"));
    setSizeGripEnabled(true);
    // Design-time texts; start-up replaces them at once.
    const char *const names[PanelCount] = {"System Information", "My Device", "Quality", "Effect", "Format"};
    for (int i = 0; i < PanelCount; ++i) {
        auto *label = new StatusPanelLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setText(QString::fromLatin1(names[i]));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        // The message panel takes the room that is left; the profile panels fit their text.
        addPermanentWidget(label, i == SystemInformation ? 1 : 0);
        m_panels[static_cast<std::size_t>(i)] = label;
    }
}

void StatusBar::RefreshStatusBar(const ApplicationState &state)
{
    panel(SystemInformation)->setPicture(Profile::MessagePanelPicture);
    const auto panels = Profile::StatusPanels(state);
    for (int i = 0; i < 4; ++i) {
        const Profile::StatusPanel &p = panels[static_cast<std::size_t>(i)];
        StatusPanelLabel *label = panel(MyDevice + i);
        label->setText(p.text);
        label->setToolTip(p.toolTip);
        label->setPicture(p.picture);
    }
}

void StatusBar::ShowStatusMessage(const QString &message)
{
    StatusPanelLabel *label = panel(SystemInformation);
    label->setText(message);
    label->setToolTip(Profile::StatusMessageToolTip());
}

} // namespace Sveltra
