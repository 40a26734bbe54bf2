#include "gui/mainwindow/formatbar.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

#include "core/layout/layout.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

struct FormatButton
{
    const char *key;
    const char *toolTip;
    int picture; // index in the "formats" image list
};

// Left to right.
constexpr FormatButton formatButtons[] = {
    {"MP3", QT_TRANSLATE_NOOP("Sveltra::FormatBar", "MP3 文件"), 1},
    {"WAV", QT_TRANSLATE_NOOP("Sveltra::FormatBar", "WAVE 文件"), 2},
    {"CD", QT_TRANSLATE_NOOP("Sveltra::FormatBar", "CD 音轨"), 3},
    {"ALL", QT_TRANSLATE_NOOP("Sveltra::FormatBar", "所有文件"), 4},
};

} // namespace

FormatBar::FormatBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("tbFormat"));
    setAccessibleName(tr("文件格式工具栏"));

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("cbFormat"));
    m_combo->setAccessibleName(tr("文件类型"));
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->lineEdit()->setAccessibleName(tr("文件类型"));
    const int comboHeight = m_combo->sizeHint().height();
    const int buttonSize = Layout::ToPixels(Layout::FormatButtonSize);
    const int barHeight = std::max(comboHeight, buttonSize) + 4;
    resize(Layout::ToPixels(Layout::FormatBarDesignWidth), barHeight);
    m_combo->setGeometry(Layout::ToPixels(Layout::FormatComboLeft), (barHeight - comboHeight) / 2,
                         Layout::ToPixels(Layout::FormatBarDesignWidth - Layout::FormatComboLeft), comboHeight);

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    int left = Layout::ToPixels(Layout::FormatButtonsLeft);
    for (const FormatButton &format : formatButtons) {
        const QString key = QString::fromLatin1(format.key);
        const QString tip = tr(format.toolTip);
        auto *button = new QToolButton(this);
        button->setObjectName(key);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(ImageListIcon(QStringLiteral("formats"), format.picture));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(left, (barHeight - buttonSize) / 2, buttonSize, buttonSize);
        left += buttonSize;
        m_group->addButton(button);
        connect(button, &QToolButton::clicked, this, [this, key] { emit buttonClicked(key); });
    }
}

QList<QAbstractButton *> FormatBar::buttons() const
{
    return m_group->buttons();
}

} // namespace Sveltra
