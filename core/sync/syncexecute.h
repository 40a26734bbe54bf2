#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "core/joblist/jobrows.h"
#include "core/sync/syncplan.h"

// Carrying out a sync's plan: first what needs no encoder (removals, moves, tag rewrites), then
// the encodes as rows of an ordinary conversion run into the player folder (the library as the
// rows' base folder, so the tree is the library's), then the marks, the empty folders and the
// play lists. Only files the plan names as outputs of this library are moved or removed, and only
// under the player folder. User-interface or command-line thread; each step blocks.
namespace Sveltra {

struct SyncResult
{
    int removed = 0;
    int moved = 0;
    int retagged = 0;
    int encoded = 0;
    int failed = 0;
    int playlistsWritten = 0;
    QStringList problems;  // for a person, Chinese, one per failed item
    QSet<QString> touched; // the player's folders that gained or lost an output
};

// Removals, then moves, then tag rewrites, as the plan says; folders left empty go.
void ApplyFileChanges(const SyncPlan &plan, SyncResult &result);

// The encodes of a plan as job rows: queued, always converted (never taken as up to date), the
// library as base folder. The rows' cells are read from the sources as the job list reads them.
class SyncRows final : public JobRows
{
public:
    explicit SyncRows(const SyncPlan &plan);

    int rowCount() const override { return int(m_rows.size()); }
    QString cell(int row, int column) const override { return m_rows[row].cells[column]; }
    void setCell(int row, int column, const QString &text) override { m_rows[row].cells[column] = text; }
    int status(int row) const override { return m_rows[row].status; }
    void setStatus(int row, int status) override { m_rows[row].status = status; }
    void setNote(int row, const QString &note) override { m_rows[row].note = note; }
    QString note(int row) const override { return m_rows[row].note; }
    QString baseFolder(int row) const override
    {
        Q_UNUSED(row);
        return m_library;
    }
    bool reconvert(int row) const override
    {
        Q_UNUSED(row);
        return true;
    }
    // The plan's item a row converts.
    int item(int row) const { return m_rows[row].item; }

private:
    struct Row
    {
        QStringList cells;
        int status = JobStatus::Queued;
        QString note;
        int item = -1;
    };
    QList<Row> m_rows;
    QString m_library;
};

// After the run: each converted row's output gets its whole mark, an earlier output of a source
// encoded again that lay elsewhere goes, empty folders go, and the play lists are brought up to
// date.
void FinishSync(const SyncPlan &plan, const SyncRows &rows, SyncResult &result);

// The result in one line: "同步完成：新增 1，移动 2，改标签 1，删除 1，失败 0".
QString SyncResultText(const SyncResult &result);

} // namespace Sveltra
