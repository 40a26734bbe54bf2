#pragma once

#include <QString>

#include <optional>

// Numbers as the job list's cells hold them: counters, sizes and ratios.
namespace Sveltra {

// The last three characters of "000" followed by the count: 7 → "007", 1234 → "234".
QString CounterText(qint64 count);

// The size of a file as a job-list cell: one blank and the decimal size, or a single blank
// when the file cannot be read.
QString GetFileSizeText(const QString &path);

// The numeric value of a cell's text as the list stores numbers: leading blanks skipped, then
// an optional sign, digits and one decimal point; 0 when there is no number.
double NumericValue(const QString &text);

// The integer part of target / source × 100, or nothing when the source size is 0.
std::optional<qint64> RatioPercent(double targetSize, double sourceSize);

// The ratio cell: " 38%" for 38; negative values carry no leading blank.
QString RatioText(qint64 percent);

} // namespace Sveltra
