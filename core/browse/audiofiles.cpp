#include "core/browse/audiofiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <functional>

namespace Sveltra {

namespace {

struct Walk
{
    QSet<QString> foldersSeen; // canonical paths: a link back up the tree ends here
    QSet<QString> filesTaken;  // absolute paths, so a file named twice is added once
    QStringList files;
    // When set, gets the files found so far after each folder, and files starts again.
    std::function<void(const QStringList &)> found;

    void take(const QString &absolutePath)
    {
        const QString path = QDir::toNativeSeparators(QDir::cleanPath(absolutePath));
        if (!filesTaken.contains(path)) {
            filesTaken.insert(path);
            files << path;
        }
    }

    void walkFolder(const QString &folder)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || foldersSeen.contains(canonical))
            return;
        foldersSeen.insert(canonical);

        QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable);
        std::sort(entries.begin(), entries.end(),
                  [](const QFileInfo &a, const QFileInfo &b) { return NaturalNameBefore(a.fileName(), b.fileName()); });
        for (const QFileInfo &entry : std::as_const(entries)) {
            if (entry.isDir())
                walkFolder(entry.absoluteFilePath());
            else if (IsAudioFileName(entry.fileName()))
                take(entry.absoluteFilePath());
        }
        if (found && !files.isEmpty()) {
            found(files);
            files.clear();
        }
    }

    void walk(const QStringList &paths)
    {
        for (const QString &path : paths) {
            if (path.isEmpty())
                continue;
            const QFileInfo info(QDir::fromNativeSeparators(path));
            if (info.isDir())
                walkFolder(info.absoluteFilePath());
            else if (info.exists())
                take(info.absoluteFilePath());
        }
    }
};

} // namespace

bool NaturalNameBefore(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare the values without converting: leading zeros out, then length, then digits.
            QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == QLatin1Char('0'))
                da = da.mid(1);
            while (db.size() > 1 && db.front() == QLatin1Char('0'))
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (const int order = da.compare(db); order != 0)
                return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

const QStringList &AudioFileSuffixes()
{
    static const QStringList suffixes = {
        QStringLiteral("mp3"), QStringLiteral("wav"),  QStringLiteral("wma"), QStringLiteral("flac"), QStringLiteral("ogg"),
        QStringLiteral("oga"), QStringLiteral("opus"), QStringLiteral("m4a"), QStringLiteral("aac"),  QStringLiteral("mp2"),
        QStringLiteral("aif"), QStringLiteral("aiff"), QStringLiteral("ape"), QStringLiteral("wv"),   QStringLiteral("ac3"),
        QStringLiteral("amr"), QStringLiteral("mka"),
    };
    return suffixes;
}

bool IsAudioFileName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot + 1 >= name.size())
        return false;
    return AudioFileSuffixes().contains(name.mid(dot + 1).toLower());
}

QStringList AudioFilesIn(const QStringList &paths)
{
    Walk walk;
    walk.walk(paths);
    return walk.files;
}

void AudioFilesIn(const QStringList &paths, const std::function<void(const QStringList &)> &found)
{
    Walk walk;
    walk.found = found;
    walk.walk(paths);
    if (!walk.files.isEmpty())
        found(walk.files);
}

} // namespace Sveltra
