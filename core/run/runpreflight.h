#pragma once

#include <QString>

namespace Sveltra {

class JobRows;

// What stops a run before it touches a row: nothing queued, or an output folder that cannot be
// made or written. Returns the one message the user reads (Chinese), or empty when the run may
// start. A missing output folder is made here (with the folders above it); whether it takes
// files is tried by writing one (and removing it), which also catches read-only mounts. An
// empty folder text stands for the working folder.
QString RunPreflight(const JobRows &rows, const QString &outputFolder);

} // namespace Sveltra
