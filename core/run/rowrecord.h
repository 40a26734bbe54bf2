#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include "core/loudness/loudness.h"
#include "core/output/rowoutcome.h"

namespace Sveltra {

class JobRows;

// Writes how a row ended into the job list: status and note for every outcome, and for a row
// with a file (converted, copied, damaged, kept) its target, the target's size and the ratio.
// A failed row's cells are left alone: nothing of the run is at its target.
void RecordRowEnd(JobRows &rows, int row, RowOutcome outcome, const QString &target, const QString &note);

// Says in the log why a row from source failed, or that its source is damaged.
void LogRowEnd(const QString &source, RowOutcome outcome, const QString &detail);

// The target's size and ratio as the file at target is now (after its texts changed).
void RecordTargetSize(JobRows &rows, int row, const QString &target);

// An album's texts were written into its files (their sizes changed); failed names the rows whose
// file kept its earlier texts, with the reason, which their notes now say.
void RecordAlbumRetag(JobRows &rows, const QList<AlbumLedger::AlbumFile> &files, const QList<QPair<int, QString>> &failed);

} // namespace Sveltra
