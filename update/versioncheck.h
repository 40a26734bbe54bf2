#pragma once

#include <QByteArray>
#include <QString>

// The rules of the version file published on the product's web site, as pure functions.
//
// The file is plain text, one character per byte; only its first 15 characters count:
// characters 1 to 7 are the product name "Sveltra" exactly (letter case counts), characters 8
// to 15 the latest version in the form "04.03.01". Anything after is ignored. A file shorter
// than 14 characters, or one not starting with the name, is not a version file.
namespace Sveltra {

// Where the version file and the download page live under the web site's address.
inline QString VersionFilePath() { return QStringLiteral("/download/Sveltra.txt"); }
inline QString DownloadPagePath() { return QStringLiteral("/sveltra/sveltra-download.asp"); }

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

// Applies the rules to the body of the version file. Bytes become the characters of the same
// code (Latin-1), so no byte is lost and none is rejected.
VersionCheckResult CheckVersionFile(const QByteArray &body, const QString &installed);

} // namespace Sveltra
