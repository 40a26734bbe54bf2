#pragma once

#include "gui/skin/skinnedwindow.h"

class QLabel;

namespace Sveltra {

// The splash shown while the main window loads. It stays loaded, hidden, once the main window
// has filled its status bar.
class frmStartUp final : public SkinnedWindow
{
    Q_OBJECT

public:
    explicit frmStartUp(QWidget *parent = nullptr);

    QLabel *lblVersion = nullptr;
};

} // namespace Sveltra
