#include "core/run/runsummary.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "core/joblist/celltexts.h"
#include "core/joblist/jobrows.h"
#include "core/output/naming.h"

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
    QString text = QCoreApplication::translate("Sveltra::RunSummary", "完成 %n 个，", nullptr, summary.converted);
    if (summary.skipped > 0)
        text += QCoreApplication::translate("Sveltra::RunSummary", "跳过 %n 个，", nullptr, summary.skipped);
    if (summary.damaged > 0)
        //: Files converted from damaged sources: only what could be decoded.
        text += QCoreApplication::translate("Sveltra::RunSummary", "有问题 %n 个，", nullptr, summary.damaged);
    text += QCoreApplication::translate("Sveltra::RunSummary", "失败 %n 个", nullptr, summary.failed);
    if (summary.failed > 0 && !summary.commonFailure.isEmpty())
        //: Between the count of failed files and the reason they share.
        text += QCoreApplication::translate("Sveltra::RunSummary", "：") + summary.commonFailure;
    //: Between the parts of the summary.
    text += QCoreApplication::translate("Sveltra::RunSummary", "，");
    if (summary.queued > 0)
        text += QCoreApplication::translate("Sveltra::RunSummary", "等待 %n 个，", nullptr, summary.queued);
    if (summary.savedBytes >= 0)
        text += QCoreApplication::translate("Sveltra::RunSummary", "节省 ") + ByteSizeText(summary.savedBytes);
    else
        text += QCoreApplication::translate("Sveltra::RunSummary", "多占 ") + ByteSizeText(-summary.savedBytes);
    if (summary.playlistsWritten > 0)
        text += QCoreApplication::translate("Sveltra::RunSummary", "，写入播放列表 %n 个", nullptr, summary.playlistsWritten);
    const int unwritten = static_cast<int>(summary.playlistProblems.size());
    if (unwritten > 0)
        text += QCoreApplication::translate("Sveltra::RunSummary", "，播放列表未写入 %n 个", nullptr, unwritten);
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
        return QCoreApplication::translate("Sveltra::RunSummary", "等待");
    case JobStatus::Done:
        return note.isEmpty() ? QCoreApplication::translate("Sveltra::RunSummary", "已完成")
                              : QCoreApplication::translate("Sveltra::RunSummary", "已完成：") + note;
    case JobStatus::Failed:
        return note.isEmpty() ? QCoreApplication::translate("Sveltra::RunSummary", "失败")
                              : QCoreApplication::translate("Sveltra::RunSummary", "失败：") + note;
    case JobStatus::Damaged:
        return QCoreApplication::translate("Sveltra::RunSummary", "有问题：") + note;
    default:
        return {};
    }
}

} // namespace Sveltra
