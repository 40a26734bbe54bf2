#include "gui/platform/publicfunctions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

bool OpenLocalPath(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

QString BrowseForFolder(QWidget *owner, const QString &title, const QString &startFolder)
{
    const QString start = !startFolder.isEmpty() && QFileInfo(startFolder).isDir() ? startFolder : QString();
    const QString folder = QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

} // namespace Sveltra
