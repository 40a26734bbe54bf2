#include "gui/platform/publicfunctions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QPainterPath>
#include <QRegion>
#include <QUrl>
#include <QWidget>

namespace Sveltra {

void SetRoundRegion(QWidget *window, int cornerSize)
{
    if (!window)
        return;
    QPainterPath path;
    const qreal radius = cornerSize / 2.0;
    path.addRoundedRect(QRectF(0, 0, window->width(), window->height()), radius, radius);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
    window->update();
}

void SetTopMost(QWidget *window, bool onTop)
{
    if (!window)
        return;
    const bool wasVisible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a window flag hides a shown window; bring it back where it was.
    if (wasVisible) {
        window->setGeometry(geometry);
        window->show();
    }
}

void OpenUrl(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

QString BrowseForFolder(QWidget *owner, const QString &title)
{
    const QString folder = QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

} // namespace Sveltra
