#include "gui/dialogs/frmstartup.h"

#include <QLabel>

#include "core/base/version.h"

namespace Sveltra {

frmStartUp::frmStartUp(QWidget *parent)
    : SkinnedWindow(QStringLiteral(":/splash/background.png"), QSize(480, 300), parent, Qt::SplashScreen)
{
    setObjectName(QStringLiteral("frmStartUp"));
    setWindowTitle(ApplicationTitle());
    setAccessibleName(ApplicationTitle());

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setText(SplashPrefix() + VersionText());
    lblVersion->setStyleSheet(QStringLiteral("color: #d8ecff; background: transparent;"));
    // On the dark plate at the bottom right of the background.
    lblVersion->setGeometry(318, 266, 146, 20);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace Sveltra
