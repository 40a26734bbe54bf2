#include "core/output/naming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cmath>
#include <limits>

#include <unistd.h>

#include "core/base/textcut.h"

namespace Sveltra {

QString OutputPrefix(int channelChoice, int qualityChoice)
{
    QString prefix = QStringLiteral("D-");
    if (channelChoice == 2)
        prefix += QStringLiteral("Mono-");
    switch (qualityChoice) {
    case 1:
        prefix += QStringLiteral("CD-");
        break;
    case 2:
        prefix += QStringLiteral("FM-");
        break;
    case 3:
        prefix += QStringLiteral("TP-");
        break;
    case 4:
        prefix += QStringLiteral("PH-");
        break;
    default:
        break;
    }
    return prefix;
}

QString NormalizeOutputFolder(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}

QString SafeFileNamePart(const QString &title)
{
    QString safe;
    safe.reserve(title.size());
    for (const QChar c : title) {
        switch (c.unicode()) {
        case u'/':
            safe += QChar(0xFF0F);
            break;
        case u'\\':
            safe += QChar(0xFF3C);
            break;
        case u':':
            safe += QChar(0xFF1A);
            break;
        case u'*':
            safe += QChar(0xFF0A);
            break;
        case u'?':
            safe += QChar(0xFF1F);
            break;
        case u'"':
            safe += QChar(0xFF02);
            break;
        case u'<':
            safe += QChar(0xFF1C);
            break;
        case u'>':
            safe += QChar(0xFF1E);
            break;
        case u'|':
            safe += QChar(0xFF5C);
            break;
        default:
            safe += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u'_') : c;
            break;
        }
    }
    return safe;
}

int MaximumFileNameBytes(const QString &folder)
{
    constexpr int Fallback = 255;
    QString probe = folder.isEmpty() ? QStringLiteral(".") : QDir::cleanPath(folder);
    for (int depth = 0; depth < 64; ++depth) {
        errno = 0;
        const long limit = ::pathconf(QFile::encodeName(probe).constData(), _PC_NAME_MAX);
        if (limit > 0)
            return limit > std::numeric_limits<int>::max() ? Fallback : static_cast<int>(limit);
        if (errno != ENOENT && errno != ENOTDIR)
            break; // no limit, or no way to ask: the common one
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe || parent.isEmpty())
            break;
        probe = parent;
    }
    return Fallback;
}

QString FitFileName(const QString &head, const QString &body, const QString &tail, int limit)
{
    // FAT32 and exFAT count a name in UTF-16 units, whatever the byte limit of the system here.
    constexpr qsizetype MaxUnits = 255;
    const qsizetype fixed = QFile::encodeName(head).size() + QFile::encodeName(tail).size();
    const qsizetype budget = limit - fixed;
    const qsizetype unitBudget = MaxUnits - head.size() - tail.size();
    if (QFile::encodeName(body).size() <= budget && body.size() <= unitBudget)
        return head + body + tail;

    const auto bytes = [](QStringView piece) { return QFile::encodeName(piece.toString()).size(); };
    const auto units = [](QStringView piece) { return piece.size(); };
    const qsizetype end = FittingLength(body, budget, bytes);
    return head + body.left(FittingLength(body.left(end), unitBudget, units)) + tail;
}

TargetNameParts TargetFileNameParts(const QString &prefix, const QString &name, const QString &title)
{
    TargetNameParts parts{prefix, {}, QStringLiteral(".MP3")};
    const QString ending = name.right(4).toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (name.size() > 4 && ending == QLatin1String(".CDA")) {
        parts.head += name.mid(name.size() - 6, 2) + QLatin1Char('-');
        parts.body = title;
    } else if (dot <= 0) {
        parts.body = name; // no extension to take off
    } else if (name.size() - dot - 1 != 3) {
        // "x.flac" gives "x", not "x.": the whole extension goes, whatever its length.
        parts.body = name.left(dot);
    } else if (name.size() > 4 && ending == QLatin1String(".MP3")) {
        parts.body = name.left(name.size() - 4);
        parts.tail = name.right(4);
    } else {
        parts.body = name.size() > 4 ? name.left(name.size() - 4) : name;
    }
    parts.body = SafeFileNamePart(parts.body);
    return parts;
}

QString FitTargetName(const TargetNameParts &parts, int nameLimit, int copy)
{
    const QString tail = copy > 1 ? QStringLiteral(" (%1)").arg(copy) + parts.tail : parts.tail;
    return FitFileName(parts.head, parts.body, tail, nameLimit);
}

QString TargetPath(const QString &folder, const QString &prefix, const QString &name, const QString &title, int nameLimit)
{
    const int limit = nameLimit >= 0 ? nameLimit : MaximumFileNameBytes(folder);
    return folder + FitTargetName(TargetFileNameParts(prefix, name, title), limit);
}

QString SafeFolderName(const QString &name, int nameLimit)
{
    QString safe = FitFileName({}, SafeFileNamePart(name), {}, nameLimit);
    // Windows and its cards drop trailing dots and blanks, so "A." and "A" would be one folder
    // there, and "..." none at all.
    while (!safe.isEmpty() && (safe.endsWith(QLatin1Char('.')) || safe.endsWith(QLatin1Char(' '))))
        safe.chop(1);
    if (safe.isEmpty())
        return QStringLiteral("_");
    const qsizetype dot = safe.indexOf(QLatin1Char('.'));
    const QString stem = (dot < 0 ? safe : safe.left(dot)).trimmed().toUpper();
    static const QStringList reserved = [] {
        QStringList names{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
        for (int i = 1; i <= 9; ++i)
            names << QStringLiteral("COM%1").arg(i) << QStringLiteral("LPT%1").arg(i);
        return names;
    }();
    if (reserved.contains(stem))
        safe.insert(dot < 0 ? safe.size() : dot, QLatin1Char('_')); // short enough for any limit
    return safe;
}

} // namespace Sveltra
