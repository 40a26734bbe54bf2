#pragma once

#include <QString>

#include "core/base/tempfolder.h"

class QWidget;

// Window and shell utilities shared by the windows of the program. None of them reports
// failure: a request the desktop refuses leaves the window as it was.
namespace Sveltra {

// Clips the window to a rounded rectangle of its current size whose corner ellipse is
// cornerSize × cornerSize pixels. Skinned windows do not change size, so it is set once.
void SetRoundRegion(QWidget *window, int cornerSize);

// Puts the window into the always-on-top layer or takes it out, keeping position and size.
void SetTopMost(QWidget *window, bool onTop);

// Opens the address with the desktop's default handler (a web address in the browser).
void OpenUrl(const QString &address);

// Asks for a folder, modal to owner. Returns the chosen folder with native separators, or the
// empty text when the user cancelled.
QString BrowseForFolder(QWidget *owner, const QString &title);

} // namespace Sveltra
