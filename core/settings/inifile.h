#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace Sveltra {

// A small INI-style profile file that behaves like the platform profile API older versions
// used: keys keep their order, a key is replaced in place, new keys are appended to the end of
// their section, a missing section is appended to the file, and every other line (other
// sections, unknown keys, comments, even undecodable bytes) is written back byte for byte.
// Section and key names compare without regard to ASCII letter case.
class IniFile final
{
public:
    // Larger files are not settings files: they are treated as empty rather than read whole.
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

    // Reads the file. A missing, unreadable or oversized file gives an empty profile.
    bool load(const QString &path);
    // Writes the whole profile atomically (a crash never leaves half a file). Returns false on a
    // write failure; the old file then stays as it was.
    bool save(const QString &path) const;

    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray toBytes() const;
    void fromBytes(const QByteArray &bytes);

private:
    qsizetype findSection(const QByteArray &section) const;
    // The index one past the last line of the section starting at sectionLine.
    qsizetype sectionEnd(qsizetype sectionLine) const;
    qsizetype findKey(qsizetype sectionLine, const QByteArray &key) const;

    QList<QByteArray> m_lines;
    QByteArray m_lineEnd = "\n";
    bool m_endsWithNewline = true;
};

} // namespace Sveltra
