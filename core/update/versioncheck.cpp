#include "core/update/versioncheck.h"

namespace Sveltra {

namespace {

constexpr qsizetype MinimumLength = 14;
constexpr qsizetype ReadLength = 15;
constexpr qsizetype NameLength = 7;

} // namespace

bool IsVersionText(const QString &text)
{
    const QLatin1String shape("00.00.00");
    if (text.size() < MinimumLength - NameLength || text.size() > shape.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool fits = shape.at(i) == QLatin1Char('.') ? c == u'.' : (c >= u'0' && c <= u'9');
        if (!fits)
            return false;
    }
    return true;
}

bool IsNewerVersion(const QString &latest, const QString &installed)
{
    return QString::compare(latest, installed, Qt::CaseSensitive) > 0;
}

VersionCheckResult CheckVersionFile(const QByteArray &body, const QString &installed)
{
    VersionCheckResult result;
    const QString text = QString::fromLatin1(body.left(ReadLength));
    if (text.size() < MinimumLength) {
        result.reason = QStringLiteral("the version file holds %1 characters, fewer than %2").arg(body.size()).arg(MinimumLength);
        return result;
    }
    if (text.left(NameLength) != QLatin1String("Sveltra")) {
        result.reason = QStringLiteral("the version file does not start with the product name");
        return result;
    }
    const QString latest = text.mid(NameLength, 8);
    if (!IsVersionText(latest)) {
        result.reason = QStringLiteral("the version file names no version of the form 04.03.01");
        return result;
    }
    result.latest = latest;
    result.outcome = IsNewerVersion(result.latest, installed) ? VersionOutcome::NewVersion : VersionOutcome::UpToDate;
    return result;
}

} // namespace Sveltra
