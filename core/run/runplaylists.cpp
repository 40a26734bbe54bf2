#include "core/run/runplaylists.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>

#include "core/browse/audiofiles.h"
#include "core/output/naming.h"

namespace Sveltra {

namespace {

bool IsRunOutput(const SourceStamp &stamp)
{
    return stamp.libraryKey.isEmpty();
}

// A CD track's mark has no modification time; its source key is its drive's and number's, the
// same for every disc.
bool IsCdTrack(const SourceStamp &stamp)
{
    return stamp.modifiedMs == 0;
}

QString Clean(const QString &folder)
{
    return QDir::cleanPath(QDir(folder.isEmpty() ? QStringLiteral(".") : folder).absolutePath());
}

// Of the outputs of one file source made with two profiles, the one of the run's profile is
// listed (a person playing the album hears each track once).
QList<PlaylistEntry> OnePerSource(const QList<MarkedOutput> &outputs, const QString &profile)
{
    QHash<QString, qsizetype> chosen;
    QList<bool> listed(outputs.size(), true);
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const SourceStamp &stamp = outputs[i].stamp;
        if (IsCdTrack(stamp))
            continue;
        const auto it = chosen.constFind(stamp.sourceKey());
        if (it == chosen.cend()) {
            chosen.insert(stamp.sourceKey(), i);
            continue;
        }
        const bool better = stamp.profile == profile && outputs[*it].stamp.profile != profile;
        listed[better ? *it : i] = false;
        if (better)
            chosen.insert(stamp.sourceKey(), i);
    }
    QList<PlaylistEntry> entries;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        if (listed[i])
            entries << outputs[i].entry;
    }
    return entries;
}

// The root's own outputs as the list of everything names them: album by album (by name), each in
// its order.
QList<PlaylistEntry> RootEntries(const QString &root, const QString &profile)
{
    const QList<MarkedOutput> outputs = MarkedOutputsIn(root, IsRunOutput);
    QStringList albums;
    for (const MarkedOutput &output : outputs) {
        if (!albums.contains(output.album))
            albums << output.album;
    }
    std::sort(albums.begin(), albums.end(), NaturalNameBefore);
    QList<PlaylistEntry> all;
    for (const QString &album : std::as_const(albums)) {
        QList<MarkedOutput> ofAlbum;
        std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(ofAlbum),
                     [&album](const MarkedOutput &output) { return output.album == album; });
        all += ListedEntries(OnePerSource(ofAlbum, profile));
    }
    return all;
}

class ListWriter
{
public:
    explicit ListWriter(const QString &root)
        : m_root(root)
    {
    }

    void put(const QString &path, const QList<PlaylistEntry> &entries, bool inOrder = false)
    {
        const QByteArray text = entries.isEmpty() ? QByteArray()
            : inOrder                             ? PlaylistTextInOrder(entries, RunListKey())
                                                  : PlaylistText(entries, RunListKey());
        const ListWrite write = PutPlaylist(path, text, RunListKey());
        const QString name = m_root.relativeFilePath(path);
        switch (write) {
        case ListWrite::Unchanged:
            return;
        case ListWrite::Written:
            ++m_result.written;
            return;
        case ListWrite::Removed:
            ++m_result.removed;
            return;
        case ListWrite::Foreign:
            qWarning("Play list %s left alone: it is not one of this program's", qPrintable(path));
            m_result.problems << QCoreApplication::translate("Sveltra::RunLists", "没有改动不是本程序写的播放列表：%1").arg(name);
            return;
        case ListWrite::Failed:
            qWarning("Cannot write the play list %s", qPrintable(path));
            m_result.problems << QCoreApplication::translate("Sveltra::RunLists", "无法写入播放列表：%1").arg(name);
            return;
        }
    }

    const PlaylistUpdate &result() const { return m_result; }

private:
    QDir m_root;
    PlaylistUpdate m_result;
};

} // namespace

QString RunListKey()
{
    return QStringLiteral("run");
}

void RunLists::addOutput(const QString &target, bool cdTrack, const QString &album)
{
    if (target.isEmpty())
        return;
    const QString folder = QDir::cleanPath(QFileInfo(target).absolutePath());
    if (cdTrack)
        discs.insert(qMakePair(folder, album.trimmed()));
    else
        folders.insert(folder);
}

bool WholeListWanted(const QString &outputFolder)
{
    if (outputFolder.isEmpty())
        return false;
    const QString folder = Clean(outputFolder);
    const QString home = Clean(QDir::homePath());
    if (folder == home || folder == QDir::rootPath() || home.startsWith(folder + QLatin1Char('/')))
        return false;
    for (const auto location :
         {QStandardPaths::MusicLocation, QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
          QStandardPaths::DownloadLocation, QStandardPaths::MoviesLocation, QStandardPaths::PicturesLocation}) {
        const QStringList paths = QStandardPaths::standardLocations(location);
        if (std::any_of(paths.begin(), paths.end(), [&folder](const QString &path) { return Clean(path) == folder; }))
            return false;
    }
    return true;
}

QString DiscListName(const QString &album, int nameLimit)
{
    const QString name = album.trimmed().isEmpty() ? QStringLiteral("音乐光盘") : album.trimmed();
    return SafeFolderName(name, std::max(1, nameLimit - 5)) + QStringLiteral(".m3u8");
}

PlaylistUpdate WriteRunPlaylists(const RunLists &lists)
{
    if (lists.isEmpty())
        return {};
    const QString root = Clean(lists.outputFolder);
    ListWriter writer(root);
    QStringList folders(lists.folders.begin(), lists.folders.end());
    std::sort(folders.begin(), folders.end(), NaturalNameBefore);
    for (const QString &folder : std::as_const(folders)) {
        // The output folder itself is no album's: rows added one by one land there.
        if (folder.startsWith(root + QLatin1Char('/')))
            writer.put(AlbumListPath(folder), OnePerSource(MarkedOutputsIn(folder, IsRunOutput), lists.profile));
    }
    for (const auto &[folder, album] : lists.discs) {
        const QString path = folder + QLatin1Char('/') + DiscListName(album, MaximumFileNameBytes(folder));
        if (folder == root && QFileInfo(path).fileName() == WholePlayerListName())
            continue;
        QList<PlaylistEntry> tracks;
        for (const MarkedOutput &output :
             MarkedOutputsIn(folder, [](const SourceStamp &s) { return IsRunOutput(s) && IsCdTrack(s); })) {
            if (output.album.trimmed() == album)
                tracks << output.entry;
        }
        writer.put(path, tracks);
    }
    if (WholeListWanted(root)) {
        QList<PlaylistEntry> all = RootEntries(root, lists.profile);
        for (const QString &folder : FoldersUnder(root))
            AppendAlbumList(all, root, folder, RunListKey());
        writer.put(root + QLatin1Char('/') + WholePlayerListName(), all, true);
    }
    return writer.result();
}

} // namespace Sveltra
