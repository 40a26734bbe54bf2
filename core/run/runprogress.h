#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Sveltra {

class JobRows;

// The share of a whole run that is done, from the progress of its rows: each row counts with
// its play time, so a ten-minute file weighs as much as ten one-minute files, and rows that
// convert at the same time all count at once. A row of unknown length weighs as much as the
// average known row (all rows weigh the same when no length is known). The share only grows and
// reaches 100 % only when every row has ended. Plain value; any thread.
class RunProgress
{
public:
    // The queued rows of the run and their play times in milliseconds (0 or less: unknown).
    void begin(const QHash<int, qint64> &playTimes);
    // The play times of the rows that are queued in the list, read from the play-time column.
    void begin(const JobRows &rows);

    // A row's own progress, 0 to 100; a lower value than the one known, or a row that is not
    // part of the run, changes nothing.
    void setRowPercent(int row, int percent);
    // A row has ended (done, failed or left): its whole share counts as done.
    void finishRow(int row) { setRowPercent(row, 100); }

    // The whole run's share done, 0.0 to 1.0.
    double fraction() const;
    // The same as a whole percentage, rounded down: 100 only when every row has ended.
    int percent() const;
    int rowCount() const { return static_cast<int>(m_rows.size()); }

private:
    struct Row
    {
        qint64 weight = 1;
        int percent = 0;
    };
    QHash<int, Row> m_rows;
    qint64 m_totalWeight = 0;
    qint64 m_doneWeight = 0; // sum of weight × percent
};

// Milliseconds from a play-time text "HH:MM:SS" (hours may have more digits); 0 when the text
// is not one.
qint64 PlayTimeMilliseconds(const QString &text);

// The time still needed, in milliseconds, when the share done has taken elapsedMs: the rate so
// far carried on to the end. Nothing until the run has done enough (one percent, and one
// second) to say.
std::optional<qint64> EstimateRemainingMs(double fraction, qint64 elapsedMs);

// "1:20" for 80 seconds, "1:02:03" from one hour on; rounded up to the whole second.
QString RemainingTimeText(qint64 milliseconds);

// What the progress window shows: "37% · 剩余 1:20", or "37%" while the time left is unknown.
QString ProgressText(int percent, std::optional<qint64> remainingMs);

} // namespace Sveltra
