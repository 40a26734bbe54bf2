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

// Opens a local file or folder with the desktop's program for it (a folder in the file
// manager). False when there is nothing at the path or the desktop refused.
bool OpenLocalPath(const QString &path);

// Asks for a folder, modal to owner, opening at startFolder when that exists. Returns the
// chosen folder with native separators, or the empty text when the user cancelled.
QString BrowseForFolder(QWidget *owner, const QString &title, const QString &startFolder = {});

} // namespace Sveltra
