#include "core/playlist/playlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <algorithm>
#include <cstdio>

#include "core/browse/audiofiles.h"
#include "core/media/audioinformation.h"
#include "core/media/mediaprobe.h"
#include "core/output/naming.h"
#include "core/output/outputfinish.h"

namespace Sveltra {

namespace {

QByteArray MarkLine(const QString &listKey)
{
    return QByteArrayLiteral("# Sveltra ") + listKey.toUtf8();
}

int LeadingNumber(const QStringList &values)
{
    if (values.isEmpty())
        return 0;
    return values.first().section(QLatin1Char('/'), 0, 0).trimmed().toInt();
}

// One entry is one line: a line break in a tag would end it.
QByteArray OneLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line.toUtf8();
}

// Writes text as the file path through a working copy beside it.
bool WriteList(const QString &path, const QByteArray &text)
{
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

// The entries of a list's text; each entry's title is the label its #EXTINF line gives.
std::optional<QList<PlaylistEntry>> ParseOwnPlaylist(const QByteArray &text, const QString &listKey)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 2 || lines[0].trimmed() != "#EXTM3U" || lines[1].trimmed() != MarkLine(listKey))
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

QString Problem(const char *text, const QString &name)
{
    return QCoreApplication::translate("Sveltra::Sync", text).arg(name);
}

} // namespace

void SortPlaylistEntries(QList<PlaylistEntry> &entries)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const PlaylistEntry &a, const PlaylistEntry &b) {
        if (a.disc != b.disc)
            return a.disc < b.disc;
        // A track without a number follows the numbered ones of its disc.
        if (a.track != b.track)
            return a.track == 0 ? false : b.track == 0 ? true : a.track < b.track;
        return NaturalNameBefore(a.file, b.file);
    });
}

QString WholePlayerListName()
{
    return QStringLiteral("全部歌曲.m3u8");
}

QString AlbumListPath(const QString &folder)
{
    // A folder whose name is as long as the file system allows still gets its list.
    const QString name = FitFileName(QString(), QFileInfo(folder).fileName(), QStringLiteral(".m3u8"),
                                     MaximumFileNameBytes(folder));
    return folder + QLatin1Char('/') + name;
}

QList<PlaylistEntry> ListedEntries(QList<PlaylistEntry> entries)
{
    SortPlaylistEntries(entries);
    for (PlaylistEntry &entry : entries) {
        QString label = entry.title.isEmpty() ? QFileInfo(entry.file).completeBaseName() : entry.title;
        if (!entry.artist.isEmpty())
            label = entry.artist + QStringLiteral(" - ") + label;
        entry.title = label;
        entry.artist.clear();
    }
    return entries;
}

QByteArray PlaylistText(QList<PlaylistEntry> entries, const QString &listKey)
{
    return PlaylistTextInOrder(ListedEntries(std::move(entries)), listKey);
}

QByteArray PlaylistTextInOrder(const QList<PlaylistEntry> &entries, const QString &listKey)
{
    QByteArray text = QByteArrayLiteral("#EXTM3U\n") + MarkLine(listKey) + '\n';
    for (const PlaylistEntry &entry : entries)
        text += "#EXTINF:" + QByteArray::number(entry.seconds) + ',' + OneLine(entry.title) + '\n' + entry.file.toUtf8() + '\n';
    return text;
}

std::optional<QList<PlaylistEntry>> ReadOwnPlaylist(const QString &path, const QString &listKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ParseOwnPlaylist(file.readAll(), listKey);
}

QList<MarkedOutput> MarkedOutputsIn(const QString &folder, const std::function<bool(const SourceStamp &)> &accept)
{
    QList<MarkedOutput> outputs;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.mp3"), QStringLiteral("*.MP3"), QStringLiteral("*.Mp3")},
                                                   QDir::Files | QDir::NoSymLinks)) {
        const auto stamp = SourceStamp::parse(ReadSourceStamp(info.filePath()));
        if (!stamp || !accept(*stamp))
            continue;
        const SourceTags tags = ReadSourceTags(info.filePath());
        MarkedOutput output{PlaylistEntry{}, *stamp, tags.properties.value(QStringLiteral("ALBUM")).join(QStringLiteral(", "))};
        output.entry.file = info.fileName();
        output.entry.disc = LeadingNumber(tags.properties.value(QStringLiteral("DISCNUMBER")));
        output.entry.track = LeadingNumber(tags.properties.value(QStringLiteral("TRACKNUMBER")));
        output.entry.artist = tags.properties.value(QStringLiteral("ARTIST")).join(QStringLiteral(", "));
        output.entry.title = tags.properties.value(QStringLiteral("TITLE")).join(QStringLiteral(", "));
        const qint64 ms = ProbeDurationMs(info.filePath());
        output.entry.seconds = ms > 0 ? (ms + 500) / 1000 : -1;
        outputs.append(output);
    }
    std::sort(outputs.begin(), outputs.end(),
              [](const MarkedOutput &a, const MarkedOutput &b) { return NaturalNameBefore(a.entry.file, b.entry.file); });
    return outputs;
}

ListWrite PutPlaylist(const QString &path, const QByteArray &text, const QString &listKey)
{
    QFile present(path);
    if (!present.exists())
        return text.isEmpty() ? ListWrite::Unchanged : WriteList(path, text) ? ListWrite::Written : ListWrite::Failed;
    if (!present.open(QIODevice::ReadOnly))
        return text.isEmpty() ? ListWrite::Unchanged : ListWrite::Failed;
    const QByteArray was = present.readAll();
    present.close();
    if (!ParseOwnPlaylist(was, listKey))
        return text.isEmpty() ? ListWrite::Unchanged : ListWrite::Foreign;
    if (text.isEmpty())
        return QFile::remove(path) ? ListWrite::Removed : ListWrite::Failed;
    if (was == text)
        return ListWrite::Unchanged;
    return WriteList(path, text) ? ListWrite::Written : ListWrite::Failed;
}

QStringList FoldersUnder(const QString &root)
{
    QStringList folders;
    QDirIterator walk(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (walk.hasNext())
        folders << walk.next();
    std::sort(folders.begin(), folders.end(), NaturalNameBefore);
    return folders;
}

void AppendAlbumList(QList<PlaylistEntry> &all, const QString &root, const QString &folder, const QString &listKey)
{
    const std::optional<QList<PlaylistEntry>> own = ReadOwnPlaylist(AlbumListPath(folder), listKey);
    if (!own)
        return;
    const QString prefix = QDir(root).relativeFilePath(folder) + QLatin1Char('/');
    for (PlaylistEntry entry : *own) {
        entry.file = prefix + entry.file;
        all.append(entry);
    }
}

PlaylistUpdate UpdatePlaylists(const QString &player, const QString &libraryKey, const QSet<QString> &touched)
{
    PlaylistUpdate result;
    const QDir root(player);
    const auto ours = [&libraryKey](const SourceStamp &stamp) { return stamp.libraryKey == libraryKey; };
    const auto entriesIn = [&](const QString &folder) {
        QList<PlaylistEntry> entries;
        for (const MarkedOutput &output : MarkedOutputsIn(folder, ours))
            entries << output.entry;
        return entries;
    };
    const auto count = [&](ListWrite write, const QString &name) {
        if (write == ListWrite::Written)
            ++result.written;
        else if (write == ListWrite::Removed)
            ++result.removed;
        else if (write == ListWrite::Foreign)
            result.problems << Problem(QT_TRANSLATE_NOOP("Sveltra::Sync", "没有改动播放器上不是本程序写的播放列表：%1"), name);
        else if (write == ListWrite::Failed)
            result.problems << Problem(QT_TRANSLATE_NOOP("Sveltra::Sync", "无法写入播放列表：%1"), name);
        if (write == ListWrite::Foreign || write == ListWrite::Failed)
            qWarning("Sync: play list %s %s", qPrintable(name), write == ListWrite::Failed ? "cannot be written" : "is not ours");
    };

    // The root's own tracks come first in the list of everything, in their order.
    QList<PlaylistEntry> all = ListedEntries(entriesIn(player));
    for (const QString &folder : FoldersUnder(player)) {
        // A folder with a list of its own that is not touched keeps it.
        const QString listPath = AlbumListPath(folder);
        if (touched.contains(folder) || !ReadOwnPlaylist(listPath, libraryKey)) {
            const QList<PlaylistEntry> entries = entriesIn(folder);
            count(PutPlaylist(listPath, entries.isEmpty() ? QByteArray() : PlaylistText(entries, libraryKey), libraryKey),
                  root.relativeFilePath(listPath));
        }
        AppendAlbumList(all, player, folder, libraryKey);
    }
    // Already in order: each album's list keeps its own, the albums go by folder name. It is
    // written again only when it would say something else.
    count(PutPlaylist(root.filePath(WholePlayerListName()), all.isEmpty() ? QByteArray() : PlaylistTextInOrder(all, libraryKey),
                      libraryKey),
          WholePlayerListName());
    return result;
}

} // namespace Sveltra
