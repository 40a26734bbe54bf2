#include "core/sync/playlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtDebug>

#include <algorithm>
#include <cstdio>

#include "core/browse/audiofiles.h"
#include "core/media/audioinformation.h"
#include "core/media/mediaprobe.h"
#include "core/output/outputfinish.h"
#include "core/output/targets.h"

namespace Sveltra {

namespace {

QByteArray MarkLine(const QString &libraryKey)
{
    return QByteArrayLiteral("# Sveltra ") + libraryKey.toUtf8();
}

int LeadingNumber(const QStringList &values)
{
    if (values.isEmpty())
        return 0;
    return values.first().section(QLatin1Char('/'), 0, 0).trimmed().toInt();
}

bool IsOwnOutput(const QString &path, const QString &libraryKey)
{
    const auto stamp = SourceStamp::parse(ReadSourceStamp(path));
    return stamp && stamp->libraryKey == libraryKey;
}

PlaylistEntry EntryOf(const QString &path, const QString &relative)
{
    const SourceTags tags = ReadSourceTags(path);
    PlaylistEntry entry;
    entry.file = relative;
    entry.disc = LeadingNumber(tags.properties.value(QStringLiteral("DISCNUMBER")));
    entry.track = LeadingNumber(tags.properties.value(QStringLiteral("TRACKNUMBER")));
    entry.artist = tags.properties.value(QStringLiteral("ARTIST")).join(QStringLiteral(", "));
    entry.title = tags.properties.value(QStringLiteral("TITLE")).join(QStringLiteral(", "));
    const qint64 ms = ProbeDurationMs(path);
    entry.seconds = ms > 0 ? (ms + 500) / 1000 : -1;
    return entry;
}

// The outputs of libraryKey directly in folder, as entries relative to it.
QList<PlaylistEntry> OutputsIn(const QString &folder, const QString &libraryKey)
{
    QList<PlaylistEntry> entries;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.mp3"), QStringLiteral("*.MP3"), QStringLiteral("*.Mp3")},
                                                   QDir::Files | QDir::NoSymLinks)) {
        if (IsOwnOutput(info.filePath(), libraryKey))
            entries.append(EntryOf(info.filePath(), info.fileName()));
    }
    return entries;
}

// Writes text as the file path through a working copy beside it; nothing when it already says so.
bool WriteList(const QString &path, const QByteArray &text, bool *changed)
{
    QFile present(path);
    if (present.open(QIODevice::ReadOnly) && present.readAll() == text) {
        *changed = false;
        return true;
    }
    present.close();
    *changed = true;
    const QString work = WorkPathFor(path);
    QFile file(work);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        file.close();
        QFile::remove(work);
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(work);
        return false;
    }
    return true;
}

QString ListPathOf(const QString &player, const QString &folder)
{
    if (folder == player)
        return player + QLatin1Char('/') + WholePlayerListName();
    return folder + QLatin1Char('/') + QFileInfo(folder).fileName() + QStringLiteral(".m3u8");
}

} // namespace

QString WholePlayerListName()
{
    return QStringLiteral("全部歌曲.m3u8");
}

QByteArray PlaylistText(QList<PlaylistEntry> entries, const QString &libraryKey)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const PlaylistEntry &a, const PlaylistEntry &b) {
        if (a.disc != b.disc)
            return a.disc < b.disc;
        // A track without a number follows the numbered ones of its disc.
        if (a.track != b.track)
            return a.track == 0 ? false : b.track == 0 ? true : a.track < b.track;
        return NaturalNameBefore(a.file, b.file);
    });
    QByteArray text = QByteArrayLiteral("#EXTM3U\n") + MarkLine(libraryKey) + '\n';
    for (const PlaylistEntry &entry : std::as_const(entries)) {
        QString label = entry.title.isEmpty() ? QFileInfo(entry.file).completeBaseName() : entry.title;
        if (!entry.artist.isEmpty())
            label = entry.artist + QStringLiteral(" - ") + label;
        // One entry is one line: a line break in a tag would end it.
        label.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        text += "#EXTINF:" + QByteArray::number(entry.seconds) + ',' + label.toUtf8() + '\n';
        text += entry.file.toUtf8() + '\n';
    }
    return text;
}

namespace {

// The entries of a list's text; each entry's title is the label its #EXTINF line gives.
std::optional<QList<PlaylistEntry>> ParseOwnPlaylist(const QByteArray &text, const QString &libraryKey)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 2 || lines[0].trimmed() != "#EXTM3U" || lines[1].trimmed() != MarkLine(libraryKey))
        return std::nullopt;
    QList<PlaylistEntry> entries;
    PlaylistEntry next;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.startsWith(QLatin1String("#EXTINF:"))) {
            const qsizetype comma = line.indexOf(QLatin1Char(','));
            next.seconds = line.mid(8, comma - 8).toLongLong();
            next.title = line.mid(comma + 1);
        } else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            next.file = line;
            entries.append(next);
            next = PlaylistEntry{};
        }
    }
    return entries;
}

} // namespace

std::optional<QList<PlaylistEntry>> ReadOwnPlaylist(const QString &path, const QString &libraryKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ParseOwnPlaylist(file.readAll(), libraryKey);
}

PlaylistUpdate UpdatePlaylists(const QString &player, const QString &libraryKey, const QSet<QString> &touched)
{
    PlaylistUpdate result;
    const QDir root(player);
    // Every folder of the player; a folder with a list of its own that is not touched keeps it.
    QStringList folders;
    QDirIterator walk(player, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (walk.hasNext())
        folders << walk.next();
    std::sort(folders.begin(), folders.end(), NaturalNameBefore);

    // The root's own tracks come first in the list of everything, in their order.
    QList<PlaylistEntry> all = ParseOwnPlaylist(PlaylistText(OutputsIn(player, libraryKey), libraryKey), libraryKey)
                                   .value_or(QList<PlaylistEntry>{});
    for (const QString &folder : std::as_const(folders)) {
        const QString listPath = ListPathOf(player, folder);
        const QFileInfo listInfo(listPath);
        std::optional<QList<PlaylistEntry>> own = ReadOwnPlaylist(listPath, libraryKey);
        const bool foreign = listInfo.exists() && !own;
        QList<PlaylistEntry> entries;
        if (touched.contains(folder) || !own) {
            entries = OutputsIn(folder, libraryKey);
            if (foreign) {
                if (!entries.isEmpty())
                    result.problems << QCoreApplication::translate("Sveltra::Sync", "没有改动播放器上不是本程序写的播放列表：%1")
                                           .arg(root.relativeFilePath(listPath));
            } else if (entries.isEmpty()) {
                if (own && QFile::remove(listPath))
                    ++result.removed;
                own.reset();
            } else {
                bool changed = false;
                const QByteArray text = PlaylistText(entries, libraryKey);
                if (!WriteList(listPath, text, &changed))
                    result.problems << QCoreApplication::translate("Sveltra::Sync", "无法写入播放列表：%1")
                                           .arg(root.relativeFilePath(listPath));
                else if (changed)
                    ++result.written;
                own = ReadOwnPlaylist(listPath, libraryKey);
            }
        }
        if (!own || foreign)
            continue;
        const QString prefix = root.relativeFilePath(folder) + QLatin1Char('/');
        for (PlaylistEntry entry : std::as_const(*own)) {
            entry.file = prefix + entry.file;
            all.append(entry);
        }
    }
    const QString wholePath = ListPathOf(player, player);
    const bool wholeForeign = QFileInfo::exists(wholePath) && !ReadOwnPlaylist(wholePath, libraryKey);
    if (wholeForeign) {
        result.problems << QCoreApplication::translate("Sveltra::Sync", "没有改动播放器上不是本程序写的播放列表：%1")
                               .arg(WholePlayerListName());
    } else if (all.isEmpty()) {
        if (QFileInfo::exists(wholePath) && QFile::remove(wholePath))
            ++result.removed;
    } else {
        // Already in order: each album's list keeps its own, the albums go by folder name. It is
        // written again only when it would say something else.
        QByteArray text = QByteArrayLiteral("#EXTM3U\n") + MarkLine(libraryKey) + '\n';
        for (const PlaylistEntry &entry : std::as_const(all))
            text += "#EXTINF:" + QByteArray::number(entry.seconds) + ',' + entry.title.toUtf8() + '\n' + entry.file.toUtf8()
                + '\n';
        bool changed = false;
        if (!WriteList(wholePath, text, &changed))
            result.problems << QCoreApplication::translate("Sveltra::Sync", "无法写入播放列表：%1").arg(WholePlayerListName());
        else if (changed)
            ++result.written;
    }
    return result;
}

} // namespace Sveltra
