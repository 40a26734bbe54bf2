#include "core/browse/filepattern.h"

namespace Sveltra {

FilePattern::FilePattern(const QString &pattern)
    : m_text(pattern)
{
    const QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            m_parts << trimmed.toCaseFolded();
    }
}

bool FilePattern::matches(const QString &fileName) const
{
    if (m_parts.isEmpty())
        return true;
    const QString folded = fileName.toCaseFolded();
    for (const QString &part : m_parts) {
        if (part == QLatin1String("*.*") || WildcardMatch(part, folded))
            return true;
    }
    return false;
}

bool WildcardMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0, n = 0;
    qsizetype starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starAt >= 0) {
            // Let the last star take one more character and try again from there.
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

std::optional<QString> PatternForFormatKey(const QString &key)
{
    if (key == QLatin1String("ALL"))
        return QStringLiteral("*.*");
    if (key == QLatin1String("MP3"))
        return QStringLiteral("*.MP3");
    if (key == QLatin1String("CD"))
        return QStringLiteral("*.CDA");
    if (key == QLatin1String("WAV"))
        return QStringLiteral("*.WAV");
    return std::nullopt;
}

QStringList FormatPatterns()
{
    return {QStringLiteral("*.*"), QStringLiteral("*.MP3"), QStringLiteral("*.WAV"), QStringLiteral("*.CDA")};
}

} // namespace Sveltra
