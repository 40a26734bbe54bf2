#include "gui/mainwindow/maintoolbar.h"

#include <QAction>

#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

struct ToolbarButton
{
    const char16_t *caption;
    const char *key;
    const char16_t *toolTip;
    int picture; // index in the "toolbar" image list
    bool separatorBefore;
};

// Left to right.
constexpr ToolbarButton toolbarButtons[] = {
    {u"添加", "Add", u"添加选定的媒体文件到压缩列表", 1, false},
    {u"移除", "Remove", u"从压缩列表移除选定项目", 2, false},
    {u"全部清除", "Clear", u"从压缩列表清除所有项目", 3, false},
    {u"输出", "Output", u"选择输出路径", 4, true},
    {u"界面", "layout", u"切换界面 ", 5, false},
    {u"选项", "Options", u"设置压缩参数", 6, false},
    {u"刷新", "refresh", u"Refresh CD to show correct results", 10, false},
    {u"开始压缩", "Diet", u"开始压缩列表中的媒体文件", 9, true},
};

} // namespace

MainToolbar::MainToolbar(QWidget *parent)
    : QToolBar(QStringLiteral("工具栏"), parent)
{
    setObjectName(QStringLiteral("Toolbar1"));
    setAccessibleName(QStringLiteral("工具栏"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(32, 32));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toggleViewAction()->setEnabled(false);

    for (const ToolbarButton &button : toolbarButtons) {
        if (button.separatorBefore)
            addSeparator();
        const QString key = QString::fromLatin1(button.key);
        QAction *action = addAction(ImageListIcon(QStringLiteral("toolbar"), button.picture), QString::fromUtf16(button.caption));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setData(key);
        action->setToolTip(QString::fromUtf16(button.toolTip));
        connect(action, &QAction::triggered, this, [this, key] { emit buttonClicked(key); });

        QWidget *widget = widgetForAction(action);
        widget->setObjectName(key);
        widget->setAccessibleName(QString::fromUtf16(button.caption));
        widget->setFocusPolicy(Qt::TabFocus);
        if (key == QLatin1String("refresh"))
            widget->setWhatsThis(QStringLiteral("刷新 CD"));
    }
}

} // namespace Sveltra
