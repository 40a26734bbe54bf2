#include "core/settings/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>

namespace Sveltra {

namespace {

// "[name]" (blanks allowed around it) gives name; anything else gives nothing.
std::optional<QByteArray> sectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']'))
        return std::nullopt;
    return t.mid(1, t.size() - 2).trimmed();
}

// "key=value" gives key; comment lines and lines without '=' give nothing.
std::optional<QByteArray> keyName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('['))
        return std::nullopt;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool IniFile::load(const QString &path)
{
    m_lines.clear();
    m_lineEnd = "\n";
    m_endsWithNewline = true;

    QFile file(path);
    if (!file.exists())
        return false;
    if (QFileInfo(file).size() > MaxFileSize) {
        qWarning("Settings file %s is larger than %lld bytes; it is ignored", qPrintable(path),
                 static_cast<long long>(MaxFileSize));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read settings file %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    fromBytes(file.read(MaxFileSize));
    return true;
}

void IniFile::fromBytes(const QByteArray &bytes)
{
    m_lines.clear();
    if (bytes.isEmpty())
        return;
    m_lineEnd = bytes.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    m_endsWithNewline = bytes.endsWith('\n');
    m_lines = bytes.split('\n');
    if (m_endsWithNewline)
        m_lines.removeLast();
    for (QByteArray &line : m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_endsWithNewline)
            out += m_lineEnd;
    }
    return out;
}

bool IniFile::save(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Cannot write settings file %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    file.write(toBytes());
    if (!file.commit()) {
        qWarning("Cannot write settings file %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

qsizetype IniFile::findSection(const QByteArray &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype sectionLine) const
{
    qsizetype i = sectionLine + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i]))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype sectionLine, const QByteArray &key) const
{
    const qsizetype end = sectionEnd(sectionLine);
    for (qsizetype i = sectionLine + 1; i < end; ++i) {
        const auto name = keyName(m_lines[i]);
        if (name && sameName(*name, key))
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const qsizetype s = findSection(section.toUtf8());
    if (s < 0)
        return std::nullopt;
    const qsizetype k = findKey(s, key.toUtf8());
    if (k < 0)
        return std::nullopt;
    const QByteArray &line = m_lines[k];
    return QString::fromUtf8(line.mid(line.indexOf('=') + 1).trimmed());
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QByteArray sectionBytes = section.toUtf8();
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray line = keyBytes + '=' + value.toUtf8();

    qsizetype s = findSection(sectionBytes);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QByteArray());
        m_lines.append('[' + sectionBytes + ']');
        m_lines.append(line);
        m_endsWithNewline = true;
        return;
    }
    const qsizetype k = findKey(s, keyBytes);
    if (k >= 0) {
        m_lines[k] = line;
        return;
    }
    // Append after the section's last non-blank line, so blank separators stay between sections.
    qsizetype insertAt = sectionEnd(s);
    while (insertAt > s + 1 && m_lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
    if (insertAt == m_lines.size() - 1)
        m_endsWithNewline = true;
}

} // namespace Sveltra
