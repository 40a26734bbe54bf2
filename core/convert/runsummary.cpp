#include "core/convert/runsummary.h"

#include <algorithm>
#include <cmath>

#include "core/convert/jobrows.h"
#include "core/convert/naming.h"

namespace Sveltra {

void RunSummary::addFinishedRow(const JobRows &rows, int row, RowOutcome outcome)
{
    switch (outcome) {
    case RowOutcome::Kept:
        ++skipped;
        return;
    case RowOutcome::Converted:
    case RowOutcome::Copied:
    case RowOutcome::Damaged: {
        ++(outcome == RowOutcome::Damaged ? damaged : converted);
        const double source = NumericValue(rows.cell(row, JobColumn::Size));
        const double target = NumericValue(rows.cell(row, JobColumn::TargetSize));
        if (source > 0 && target > 0)
            savedBytes += std::llround(source - target);
        return;
    }
    case RowOutcome::Failed: {
        ++failed;
        const QString reason = rows.note(row);
        if (reason.isEmpty())
            return;
        const int count = ++failureCounts[reason];
        if (commonFailure.isEmpty() || count > failureCounts.value(commonFailure))
            commonFailure = reason;
        return;
    }
    }
}

void RunSummary::setQueuedAtStart(int queuedAtStart)
{
    queued = std::max(0, queuedAtStart - converted - failed - skipped - damaged);
}

QString RunSummaryText(const RunSummary &summary)
{
    QString text = QStringLiteral("完成 %1 个，").arg(summary.converted);
    if (summary.skipped > 0)
        text += QStringLiteral("跳过 %1 个，").arg(summary.skipped);
    if (summary.damaged > 0)
        text += QStringLiteral("有问题 %1 个，").arg(summary.damaged);
    text += QStringLiteral("失败 %1 个").arg(summary.failed);
    if (summary.failed > 0 && !summary.commonFailure.isEmpty())
        text += QStringLiteral("：") + summary.commonFailure;
    text += QStringLiteral("，");
    if (summary.queued > 0)
        text += QStringLiteral("等待 %1 个，").arg(summary.queued);
    if (summary.savedBytes >= 0)
        text += QStringLiteral("节省 ") + ByteSizeText(summary.savedBytes);
    else
        text += QStringLiteral("多占 ") + ByteSizeText(-summary.savedBytes);
    return text;
}

QString ByteSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(std::max<qint64>(0, bytes));
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    // Rounded as shown: 1023.96 KB reads as 1.0 MB, not as 1024.0 KB.
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (unit < 3 && std::round(value * 10.0) / 10.0 >= 1024.0) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString RowStatusText(int status, const QString &note)
{
    switch (status) {
    case JobStatus::Queued:
        return QStringLiteral("等待");
    case JobStatus::Done:
        return note.isEmpty() ? QStringLiteral("已完成") : QStringLiteral("已完成：") + note;
    case JobStatus::Failed:
        return note.isEmpty() ? QStringLiteral("失败") : QStringLiteral("失败：") + note;
    case JobStatus::Damaged:
        return QStringLiteral("有问题：") + note;
    default:
        return {};
    }
}

} // namespace Sveltra
