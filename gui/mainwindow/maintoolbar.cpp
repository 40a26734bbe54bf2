#include "gui/mainwindow/maintoolbar.h"

#include <QAction>

#include "gui/skin/imagelist.h"

namespace Sveltra {

namespace {

struct ToolbarButton
{
    const char *caption;
    const char *key;
    const char *toolTip;
    int picture; // index in the "toolbar" image list
    bool separatorBefore;
};

// Left to right.
constexpr ToolbarButton toolbarButtons[] = {
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "添加"), "Add",
     QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "添加选定的媒体文件到压缩列表"), 1, false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "移除"), "Remove",
     QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "从压缩列表移除选定项目"), 2, false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "全部清除"), "Clear",
     QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "从压缩列表清除所有项目"), 3, false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "输出"), "Output", QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "选择输出路径"), 4,
     true},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "界面"), "layout", QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "切换界面 "), 5,
     false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "选项"), "Options", QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "设置压缩参数"), 6,
     false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "刷新"), "refresh",
     QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "Refresh CD to show correct results"), 10, false},
    {QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "开始压缩"), "Diet",
     QT_TRANSLATE_NOOP("Sveltra::MainToolbar", "开始压缩列表中的媒体文件"), 9, true},
};

} // namespace

MainToolbar::MainToolbar(QWidget *parent)
    : QToolBar(tr("工具栏"), parent)
{
    setObjectName(QStringLiteral("Toolbar1"));
    setAccessibleName(tr("工具栏"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(32, 32));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toggleViewAction()->setEnabled(false);

    for (const ToolbarButton &button : toolbarButtons) {
        if (button.separatorBefore)
            addSeparator();
        const QString key = QString::fromLatin1(button.key);
        QAction *action = addAction(ImageListIcon(QStringLiteral("toolbar"), button.picture), tr(button.caption));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setData(key);
        action->setToolTip(tr(button.toolTip));
        connect(action, &QAction::triggered, this, [this, key] { emit buttonClicked(key); });

        QWidget *widget = widgetForAction(action);
        widget->setObjectName(key);
        widget->setAccessibleName(tr(button.caption));
        widget->setFocusPolicy(Qt::TabFocus);
        if (key == QLatin1String("refresh"))
            widget->setWhatsThis(tr("刷新 CD"));
    }
}

} // namespace Sveltra
