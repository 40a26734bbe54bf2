#include "app/frmstartup.h"

#include <QLabel>

#include "app/version.h"

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
    lblVersion->adjustSize();
    lblVersion->move(width() - lblVersion->width() - 24, height() - lblVersion->height() - 18);
}

} // namespace Sveltra
