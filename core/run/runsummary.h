#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "core/output/rowoutcome.h"

namespace Sveltra {

class JobRows;

// What a run did, counted as its rows end: the rows converted and failed, those still queued
// when it stopped, and the bytes the converted rows saved (source size less target size; less
// than zero when the outputs are larger); the rows whose earlier output was up to date (no
// bytes saved), and why most of the failed rows failed. Plain value.
struct RunSummary
{
    int converted = 0;
    int failed = 0;
    int queued = 0;
    qint64 savedBytes = 0;
    int skipped = 0;
    int damaged = 0; // converted from damaged sources, so not whole
    // The reason most failed rows give (the first of those given most often); empty when none.
    QString commonFailure{};
    QHash<QString, int> failureCounts{};
    // The play lists the run wrote, and why others were not (for a person, Chinese, one a list).
    int playlistsWritten = 0;
    QStringList playlistProblems{};

    // Counts a row that has just ended as outcome, reading its sizes and note from the list.
    void addFinishedRow(const JobRows &rows, int row, RowOutcome outcome);
    // The rows of the run that have not ended: those queued at the start less those counted.
    void setQueuedAtStart(int queuedAtStart);
};

// The summary as the status bar and the notification say it:
// "完成 40 个，失败 1 个，节省 212.4 MB", with "等待 N 个" before the saving when rows are left,
// "有问题 N 个" after the converted rows when sources were damaged,
// and "多占" instead of "节省" when the outputs take more room than the sources; "跳过 N 个"
// after the converted rows when earlier outputs were kept, and the common reason after the
// failed ones ("失败 3 个：磁盘空间不足"); then "写入播放列表 N 个" and "播放列表未写入 N 个" when there
// are such.
QString RunSummaryText(const RunSummary &summary);

// A byte count for people: "512 B", "1.5 KB", "212.4 MB", "1.2 GB" (1024 to the unit).
QString ByteSizeText(qint64 bytes);

// A row's state as a screen reader reads it: "等待", "已完成" (followed by its note, if any),
// "有问题：" and the damage note, or "失败：" and the reason.
QString RowStatusText(int status, const QString &note);

} // namespace Sveltra
