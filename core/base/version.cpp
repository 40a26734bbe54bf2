#include "core/base/version.h"

namespace Sveltra {

namespace {
QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QString ComputeBuildNumber(int major, int minor, int revision)
{
    return twoDigits(major) + twoDigits(minor) + twoDigits(revision);
}

QString VersionText()
{
    return twoDigits(Build::VersionMajor) + QLatin1Char('.') + twoDigits(Build::VersionMinor) + QLatin1Char('.')
        + twoDigits(Build::VersionPatch);
}

} // namespace Sveltra
