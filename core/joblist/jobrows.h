#pragma once

#include <QString>

namespace Sveltra {

// The rows of the job list as the conversion run sees them: cells addressed by row position
// and column number, and a status icon (5 queued, 4 done, 3 failed, 6 damaged). The job list widget
// implements it; tests give a plain table.
class JobRows
{
public:
    virtual ~JobRows() = default;

    virtual int rowCount() const = 0;
    virtual QString cell(int row, int column) const = 0;
    virtual void setCell(int row, int column, const QString &text) = 0;
    virtual int status(int row) const = 0;
    virtual void setStatus(int row, int status) = 0;
    // Why a row failed, for a person looking at it (a tooltip); empty clears it.
    virtual void setNote(int row, const QString &note) = 0;
    virtual QString note(int row) const = 0;
    // The folder the row was added from (a dropped or named folder that held its source), or
    // empty for a file added on its own: its output keeps the source's place under that folder.
    virtual QString baseFolder(int row) const
    {
        Q_UNUSED(row);
        return {};
    }
    // The user asked for the row to be converted again ("重新压缩"): an output that is up to date
    // is written again all the same. Ends when the row does.
    virtual bool reconvert(int row) const
    {
        Q_UNUSED(row);
        return false;
    }
};

// Column numbers of the job list.
namespace JobColumn {
enum : int {
    Name = 0,
    Title,
    SourcePath,
    Source,
    PlayTime,
    Size,
    Target,
    TargetSize,
    Ratio,
    Album,
    Artist,
    Year,
    Comment,
    Genre,
    Count
};
}

// Status icons of the job list. Damaged: done from a source that decoded shorter than it says.
namespace JobStatus {
enum : int { Failed = 3, Done = 4, Queued = 5, Damaged = 6 };
}

} // namespace Sveltra
