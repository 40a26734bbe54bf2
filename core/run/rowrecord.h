#pragma once

#include <QString>

#include "core/output/rowoutcome.h"

namespace Sveltra {

class JobRows;

// Writes how a row ended into the job list: status and note for every outcome, and for a row
// with a file (converted, copied, damaged, kept) its target, the target's size and the ratio.
// A failed row's cells are left alone: nothing of the run is at its target.
void RecordRowEnd(JobRows &rows, int row, RowOutcome outcome, const QString &target, const QString &note);

// The target's size and ratio as the file at target is now (after its texts changed).
void RecordTargetSize(JobRows &rows, int row, const QString &target);

} // namespace Sveltra
