#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Sveltra {

// The file-name pattern of the file list, such as "*.MP3". "*" matches any run of characters
// (none included) and "?" exactly one; every other character stands for itself, so names
// with brackets or dots match literally. Letter case is ignored, as in the file system the
// user sees. Several patterns may be joined with ";" ("*.mp3;*.wav"); a name matching any
// of them matches. "*.*" lists every file, those without a dot too, as "all files" means to
// the user; an empty or blank pattern lists every file as well.
class FilePattern final
{
public:
    FilePattern() = default;
    explicit FilePattern(const QString &pattern);

    const QString &text() const { return m_text; }
    bool matches(const QString &fileName) const;

private:
    QString m_text;
    QStringList m_parts; // case-folded, blanks around each part removed
};

// True when name matches one wildcard part ("*" and "?" only), comparing exactly. Linear in
// practice: one backtracking point, no recursion, so no pattern can make it explode.
bool WildcardMatch(QStringView pattern, QStringView name);

// The pattern a format button sets, by its key, compared exactly in the order "ALL", "MP3",
// "CD", "WAV"; nothing for any other key.
std::optional<QString> PatternForFormatKey(const QString &key);

// The entries of the format box, in order; the first is selected at start.
QStringList FormatPatterns();

} // namespace Sveltra
