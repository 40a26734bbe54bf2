#pragma once

// The job list as a plain table, for tests of the run and its rules without a window.

#include <QList>
#include <QString>
#include <QStringList>

#include "core/joblist/jobrows.h"

namespace TestSupport {

class JobTable : public Sveltra::JobRows
{
public:
    struct Row
    {
        QStringList cells = QStringList(Sveltra::JobColumn::Count);
        int status = Sveltra::JobStatus::Queued;
        QString note;
        QString baseFolder;
        bool reconvert = false;
    };
    QList<Row> rows;

    // A row of a play time and a size, as the run's progress and summary read them.
    void addTimed(const QString &playTime, const QString &size, int status = Sveltra::JobStatus::Queued)
    {
        Row r;
        r.cells[Sveltra::JobColumn::PlayTime] = playTime;
        r.cells[Sveltra::JobColumn::Size] = size;
        r.status = status;
        rows << r;
    }

    int rowCount() const override { return static_cast<int>(rows.size()); }
    QString cell(int row, int column) const override { return rows[row].cells[column]; }
    void setCell(int row, int column, const QString &text) override { rows[row].cells[column] = text; }
    int status(int row) const override { return rows[row].status; }
    void setStatus(int row, int s) override { rows[row].status = s; }
    void setNote(int row, const QString &note) override { rows[row].note = note; }
    QString note(int row) const override { return rows[row].note; }
    QString baseFolder(int row) const override { return rows[row].baseFolder; }
    bool reconvert(int row) const override { return rows[row].reconvert; }
};

} // namespace TestSupport
