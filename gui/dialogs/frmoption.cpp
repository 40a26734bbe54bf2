#include "gui/dialogs/frmoption.h"

#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QtDebug>

#include "core/base/appstate.h"
#include "core/profile/profile.h"
#include "gui/skin/imagelist.h"
#include "gui/skin/picturebutton.h"

namespace Sveltra {

namespace {

using Profile::List;

struct Group
{
    List list;
    int highest;       // highest index the arrows reach
    int pictureOffset; // ilstIcon picture = index + offset
    const char *name;
    QString ApplicationState::*choice;
};

constexpr int ArrowForward = 1, ArrowForwardPressed = 2, ArrowBackward = 3, ArrowBackwardPressed = 4;
constexpr int OkButton = 5, OkButtonPressed = 6, HandCursor = 9;

const std::array<Group, frmOption::GroupCount> &groups()
{
    static const std::array<Group, frmOption::GroupCount> table = {{
        {List::Device, 4, 7, QT_TRANSLATE_NOOP("Sveltra::frmOption", "设备"), &ApplicationState::DeviceChoice},
        {List::Quality, 3, 3, QT_TRANSLATE_NOOP("Sveltra::frmOption", "音质"), &ApplicationState::QualityChoice},
        {List::Channel, 1, 1, QT_TRANSLATE_NOOP("Sveltra::frmOption", "效果"), &ApplicationState::ChannelChoice},
        {List::Format, 0, 12, QT_TRANSLATE_NOOP("Sveltra::frmOption", "格式"), &ApplicationState::FormatChoice},
    }};
    return table;
}

// Where the skin's background was drawn for each group: the cell of the group, and inside it
// the picture, the two arrows and the label (pixels).
constexpr QRect GroupCells[frmOption::GroupCount] = {
    {20, 50, 176, 100}, {204, 50, 176, 100}, {20, 156, 176, 100}, {204, 156, 176, 100}};

QRect iconRect(const QRect &cell)
{
    return {cell.x() + cell.width() / 2 - 24, cell.y() + 24, 48, 48};
}
QRect backwardRect(const QRect &cell)
{
    return {cell.x() + cell.width() / 2 - 60, cell.y() + 36, 24, 24};
}
QRect forwardRect(const QRect &cell)
{
    return {cell.x() + cell.width() / 2 + 36, cell.y() + 36, 24, 24};
}
QRect labelRect(const QRect &cell)
{
    return {cell.x() + 8, cell.y() + 78, cell.width() - 16, 18};
}

bool insideList(const Group &group, int index)
{
    return index >= 0 && index < Profile::Choices(group.list).size();
}

PictureButton *makeButton(QWidget *parent, const QString &name, const QRect &geometry, const QString &accessibleName)
{
    auto *button = new PictureButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAccessibleName(accessibleName);
    return button;
}

} // namespace

QPixmap frmOption::ilstIcon(int index)
{
    return ImageListPixmap(QStringLiteral("option/icons"), index);
}

QPixmap frmOption::ilstButton(int index)
{
    return ImageListPixmap(QStringLiteral("option/buttons"), index);
}

frmOption::frmOption(std::function<void()> refreshStatusBar, QWidget *parent)
    : SkinnedWindow(QStringLiteral(":/option/background.png"), QSize(400, 330), parent)
    , m_refreshStatusBar(std::move(refreshStatusBar))
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(tr("Sveltra 选项"));
    setAccessibleName(windowTitle());

    const QPixmap hand = ilstButton(HandCursor);
    const QCursor arrowCursor = hand.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(hand, 11, 1);
    const QColor ink(28, 38, 100);

    std::array<QLabel **, GroupCount> labels = {&lblDevice, &lblQuality, &lblEffect, &lblFormat};
    const char *labelNames[GroupCount] = {"lblDevice", "lblQuality", "lblEffect", "lblFormat"};
    QWidget *previous = nullptr;
    for (int g = 0; g < GroupCount; ++g) {
        const Group &group = groups()[static_cast<std::size_t>(g)];
        const QString name = tr(group.name);
        const QRect &cell = GroupCells[g];

        PictureButton *icon = makeButton(this, QStringLiteral("imgIcon%1").arg(g), iconRect(cell), name);
        icon->setCursor(arrowCursor);
        icon->setToolTip(tr("下一个%1").arg(name));
        connect(icon, &QAbstractButton::clicked, this, [this, g] { StepForward(g); });
        imgIcon[static_cast<std::size_t>(g)] = icon;

        PictureButton *forward = makeButton(this, QStringLiteral("imgArrow%1").arg(2 * g), forwardRect(cell),
                                            tr("下一个%1").arg(name));
        forward->setPicture(ilstButton(ArrowForward));
        forward->setPressedPicture(ilstButton(ArrowForwardPressed));
        connect(forward, &QAbstractButton::clicked, this, [this, g] { StepForward(g); });

        PictureButton *backward = makeButton(this, QStringLiteral("imgArrow%1").arg(2 * g + 1), backwardRect(cell),
                                             tr("上一个%1").arg(name));
        backward->setPicture(ilstButton(ArrowBackward));
        backward->setPressedPicture(ilstButton(ArrowBackwardPressed));
        connect(backward, &QAbstractButton::clicked, this, [this, g] { StepBackward(g); });

        for (PictureButton *arrow : {forward, backward}) {
            arrow->setCursor(arrowCursor);
            arrow->setToolTip(arrow->accessibleName());
        }
        imgArrow[static_cast<std::size_t>(2 * g)] = forward;
        imgArrow[static_cast<std::size_t>(2 * g + 1)] = backward;

        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(labelNames[g]));
        label->setGeometry(labelRect(cell));
        label->setAlignment(Qt::AlignCenter);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, ink);
        label->setPalette(palette);
        *labels[static_cast<std::size_t>(g)] = label;

        // Tab goes through the groups in reading order: picture, backward, forward.
        for (QWidget *w : {static_cast<QWidget *>(icon), static_cast<QWidget *>(backward), static_cast<QWidget *>(forward)}) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }

    lblSummary = new QLabel(QStringLiteral("Your summary"), this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setGeometry(24, 272, 262, 42);
    lblSummary->setWordWrap(true);
    QFont summaryFont = lblSummary->font();
    summaryFont.setPointSize(9); // three lines fit the panel
    lblSummary->setFont(summaryFont);
    lblSummary->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette summaryPalette = lblSummary->palette();
    summaryPalette.setColor(QPalette::WindowText, ink);
    lblSummary->setPalette(summaryPalette);

    PictureButton *ok = makeButton(this, QStringLiteral("imgButton0"), QRect(302, 279, 80, 28), tr("确定"));
    ok->setPicture(ilstButton(OkButton));
    ok->setPressedPicture(ilstButton(OkButtonPressed));
    connect(ok, &QAbstractButton::clicked, this, &QWidget::close);
    imgButton[0] = ok;

    imgExit = makeButton(this, QStringLiteral("imgExit"), QRect(368, 8, 22, 22), tr("关闭"));
    imgExit->setPicture(QPixmap(QStringLiteral(":/option/exit.png")));
    imgExit->setPressedPicture(QPixmap(QStringLiteral(":/option/exit_down.png")));
    imgExit->setToolTip(tr("单击关闭选项对话框"));
    connect(imgExit, &QAbstractButton::clicked, this, &QWidget::close);

    setTabOrder(previous, ok);
    setTabOrder(ok, imgExit);

    SetCurrentIcon();
}

int &frmOption::indexOf(int group)
{
    switch (group) {
    case 0:
        return DeviceIndex;
    case 1:
        return QualityIndex;
    case 2:
        return ChannelIndex;
    default:
        return FormatIndex;
    }
}

int frmOption::groupIndex(int group) const
{
    return const_cast<frmOption *>(this)->indexOf(group);
}

QLabel *frmOption::labelOf(int group) const
{
    const std::array<QLabel *, GroupCount> labels = {lblDevice, lblQuality, lblEffect, lblFormat};
    return labels[static_cast<std::size_t>(group)];
}

void frmOption::SetOptions()
{
    ApplicationState &state = App();
    for (int g = 0; g < GroupCount; ++g) {
        const Group &group = groups()[static_cast<std::size_t>(g)];
        const int index = indexOf(g);
        if (insideList(group, index))
            state.*group.choice = Profile::Choices(group.list).at(index);
    }
}

void frmOption::SetIconImage(int group, int index)
{
    if (group < 0 || group >= GroupCount) {
        qWarning("frmOption::SetIconImage: there is no group %d", group);
        return;
    }
    SetOptions();

    const Group &g = groups()[static_cast<std::size_t>(group)];
    // An index outside the list (a damaged settings file) shows no picture rather than
    // another group's picture; the label shows the text as it stands.
    imgIcon[static_cast<std::size_t>(group)]->setPicture(insideList(g, index) ? ilstIcon(index + g.pictureOffset) : QPixmap());
    const ApplicationState &state = App();
    labelOf(group)->setText(Profile::ChoiceText(state.*g.choice).mid(2));

    lblSummary->setText(
        Profile::OptionsSummary(state.DeviceChoice, state.QualityChoice, state.ChannelChoice, state.FormatChoice));
    RefreshStatusBar();
}

void frmOption::SetCurrentIcon()
{
    const ApplicationState &state = App();
    DeviceIndex = Profile::ChoiceNumber(state.DeviceChoice) - 1;
    ChannelIndex = Profile::ChoiceNumber(state.ChannelChoice) - 1;
    QualityIndex = Profile::ChoiceNumber(state.QualityChoice) - 1;
    FormatIndex = Profile::ChoiceNumber(state.FormatChoice) - 1;

    SetIconImage(0, DeviceIndex);
    SetIconImage(2, ChannelIndex);
    SetIconImage(1, QualityIndex);
    SetIconImage(3, FormatIndex);
}

void frmOption::StepForward(int group)
{
    if (group < 0 || group >= GroupCount)
        return;
    int &index = indexOf(group);
    ++index;
    if (index > groups()[static_cast<std::size_t>(group)].highest)
        index = 0;
    SetIconImage(group, index);
}

void frmOption::StepBackward(int group)
{
    if (group < 0 || group >= GroupCount)
        return;
    int &index = indexOf(group);
    --index;
    if (index < 0)
        index = groups()[static_cast<std::size_t>(group)].highest;
    SetIconImage(group, index);
}

void frmOption::RefreshStatusBar()
{
    if (m_refreshStatusBar)
        m_refreshStatusBar();
}

void frmOption::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

void frmOption::closeEvent(QCloseEvent *event)
{
    // OK, the close button, Esc and the window manager all keep the choices made.
    RefreshStatusBar();
    SkinnedWindow::closeEvent(event);
}

} // namespace Sveltra
