#include "update/versioncheck.h"

namespace Sveltra {

namespace {

constexpr qsizetype MinimumLength = 14;
constexpr qsizetype ReadLength = 15;
constexpr qsizetype NameLength = 7;

} // namespace

bool IsNewerVersion(const QString &latest, const QString &installed)
{
    return QString::compare(latest, installed, Qt::CaseSensitive) > 0;
}

VersionCheckResult CheckVersionFile(const QByteArray &body, const QString &installed)
{
    VersionCheckResult result;
    const QString text = QString::fromLatin1(body.left(ReadLength));
    if (text.size() < MinimumLength) {
        result.reason = QStringLiteral("the version file holds %1 characters, fewer than %2")
                            .arg(body.size())
                            .arg(MinimumLength);
        return result;
    }
    if (text.left(NameLength) != QLatin1String("Sveltra")) {
        result.reason = QStringLiteral("the version file does not start with the product name");
        return result;
    }
    result.latest = text.mid(NameLength, 8);
    result.outcome = IsNewerVersion(result.latest, installed) ? VersionOutcome::NewVersion : VersionOutcome::UpToDate;
    return result;
}

} // namespace Sveltra
