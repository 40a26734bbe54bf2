#include "core/run/rowrecord.h"

#include <QtDebug>

#include "core/joblist/celltexts.h"
#include "core/joblist/jobrows.h"
#include "core/output/naming.h"

namespace Sveltra {

void RecordRowEnd(JobRows &rows, int row, RowOutcome outcome, const QString &target, const QString &note)
{
    if (outcome == RowOutcome::Failed) {
        rows.setStatus(row, JobStatus::Failed);
        rows.setNote(row, note);
        return;
    }
    rows.setCell(row, JobColumn::Target, target);
    RecordTargetSize(rows, row, target);
    rows.setStatus(row, outcome == RowOutcome::Damaged ? JobStatus::Damaged : JobStatus::Done);
    rows.setNote(row, note);
}

void LogRowEnd(const QString &source, RowOutcome outcome, const QString &detail)
{
    if (outcome == RowOutcome::Failed)
        qWarning("Conversion of %s failed: %s", qPrintable(source), qPrintable(detail));
    else if (outcome == RowOutcome::Damaged)
        qWarning("The source %s is damaged: %s", qPrintable(source), qPrintable(detail));
}

void RecordTargetSize(JobRows &rows, int row, const QString &target)
{
    const QString size = GetFileSizeText(target);
    rows.setCell(row, JobColumn::TargetSize, size);
    const std::optional<qint64> ratio = RatioPercent(NumericValue(size), NumericValue(rows.cell(row, JobColumn::Size)));
    if (ratio && *ratio != 0)
        rows.setCell(row, JobColumn::Ratio, RatioText(*ratio));
}

void RecordAlbumRetag(JobRows &rows, const QList<AlbumLedger::AlbumFile> &files, const QList<QPair<int, QString>> &failed)
{
    for (const AlbumLedger::AlbumFile &file : files) {
        if (rows.cell(file.row, JobColumn::Target) == file.target)
            RecordTargetSize(rows, file.row, file.target);
    }
    // The file is whole with its own track's texts; the row says what is missing.
    for (const auto &[row, reason] : failed)
        rows.setNote(row, reason);
}

} // namespace Sveltra
