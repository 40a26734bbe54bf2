#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace Sveltra {

// Where the encoder program fastencc is found, first match wins:
// 1. beside the program (the build folder, a portable copy);
// 2. <prefix>/libexec/sveltra/, the prefix being the parent of the program's bin folder, so an
//    installed copy finds it wherever the tree was installed or moved to;
// 3. the folders of PATH.
// Only an executable regular file counts. When none is found the path beside the program is
// returned, so that the failure names the place a person would look first.
QString FindEncoderProgram(const QString &programFolder, const QString &pathVariable);

// The same for this process: its own folder and its PATH.
QString FindEncoderProgram();

// The environment the encoder runs in: the user's, with its messages in English whatever the
// user's language (LC_ALL=C.UTF-8), so the program can tell them apart.
QProcessEnvironment EncoderEnvironment();

// The encoder's file name.
QString EncoderProgramName();

} // namespace Sveltra
