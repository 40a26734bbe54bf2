#pragma once

#include <QByteArray>
#include <QString>

// The rules of the version file published on the product's web site, as pure functions.
//
// The file is plain text, one character per byte; only its first 15 characters count:
// characters 1 to 7 are the product name "Sveltra" exactly (letter case counts), characters 8
// to 15 the latest version in the form "04.03.01": two-digit numbers joined by ".". Anything
// after is ignored. A file shorter than 14 characters, one not starting with the name, or one
// whose version is not of that form (NUL bytes, blanks, letters, a page of text) is not a
// version file. With exactly 14 characters the version is the form's first seven, "04.03.0".
namespace Sveltra {

// Where the version file and the download page live under the web site's address.
inline QString VersionFilePath()
{
    return QStringLiteral("/download/Sveltra.txt");
}
inline QString DownloadPagePath()
{
    return QStringLiteral("/sveltra/sveltra-download.asp");
}

enum class VersionOutcome {
    NewVersion, // the file names a version greater than the installed one
    UpToDate,   // equal or smaller
    Failed,     // no usable version file
};

struct VersionCheckResult
{
    VersionOutcome outcome = VersionOutcome::Failed;
    QString latest; // characters 8 to 15 (7 when the file has exactly 14); empty on failure
    QString reason; // why it failed, for the developer's log; empty otherwise
};

// True when latest sorts after installed character code by character code (case-sensitive,
// the first difference decides, a proper prefix is the smaller).
bool IsNewerVersion(const QString &latest, const QString &installed);

// True when text is a version of the form "04.03.01" (or its first seven characters).
bool IsVersionText(const QString &text);

// Applies the rules to the body of the version file. Bytes become the characters of the same
// code (Latin-1); a version that passes is compared with installed character by character.
VersionCheckResult CheckVersionFile(const QByteArray &body, const QString &installed);

} // namespace Sveltra
