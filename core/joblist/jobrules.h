#pragma once

#include <QString>

// Rules of the job list that need no window.
namespace Sveltra {

// "hh:mm:ss" from milliseconds, the seconds rounded half to even (1500 ms → 00:00:02,
// 2500 ms → 00:00:02). Hours may run to more than two digits.
QString FormatDuration(qint64 milliseconds);

// The text after the last native separator of the path; the whole path when it has none.
QString GetFileName(const QString &path);

// The file type that decides how a path is added: its last three characters upper-cased when
// the path has at least five characters, else empty ("CDA" makes a CD-track row).
QString MediaType(const QString &path);

// The status bar's line for files that were not added because they cannot be read as audio:
// how many, and the name of the first.
QString RefusedFilesMessage(int count, const QString &firstName);

// The title cell of a row whose source has no title of its own ("Unknown"). It is never written
// into a tag.
QString UntitledPlaceholder();

} // namespace Sveltra
