#pragma once

#include <QToolBar>

namespace Sveltra {

// The main window's toolbar (`Toolbar1`): eight picture buttons with captions under them, left
// to right "添加", "移除", "全部清除", "输出", "界面", "选项", "刷新", "开始压缩". Each button's
// widget is named by its key ("Add", "Remove", "Clear", "Output", "layout", "Options",
// "refresh", "Diet"), its action "Toolbar1_" and the key. It cannot be moved, floated or hidden.
// It only reports the key clicked; the main window runs the command. User-interface thread only.
class MainToolbar final : public QToolBar
{
    Q_OBJECT

public:
    explicit MainToolbar(QWidget *parent = nullptr);

signals:
    void buttonClicked(const QString &key);
};

} // namespace Sveltra
