#include "core/run/rowrecord.h"

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

void RecordTargetSize(JobRows &rows, int row, const QString &target)
{
    const QString size = GetFileSizeText(target);
    rows.setCell(row, JobColumn::TargetSize, size);
    const std::optional<qint64> ratio = RatioPercent(NumericValue(size), NumericValue(rows.cell(row, JobColumn::Size)));
    if (ratio && *ratio != 0)
        rows.setCell(row, JobColumn::Ratio, RatioText(*ratio));
}

} // namespace Sveltra
