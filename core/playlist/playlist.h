#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "core/output/targets.h"

// The play lists left beside the outputs: one per album folder, named after the folder and lying
// in it, and one of everything at the root of a player (or of a run's output folder). Extended
// M3U in UTF-8 without a byte-order mark: "#EXTM3U" first, "#EXTINF:seconds,Artist - Title"
// before each entry, paths relative to the list with "/" and never "..", never percent-encoded.
// A list carries a comment line with its key (a sync's: its library's; a run's: RunListKey), so
// a list a person made, or one made for other outputs, is never written over or removed. Blocks;
// safe on any thread, one writer per folder at a time.
namespace Sveltra {

struct PlaylistEntry
{
    QString file; // relative to the list's folder, with "/"
    int disc = 0;
    int track = 0;
    QString artist;
    QString title;
    qint64 seconds = -1;
};

// Entries in disc and track order (a track without a number after the numbered ones of its disc),
// then by name (numbers by value).
void SortPlaylistEntries(QList<PlaylistEntry> &entries);
// The entries as a list names them: sorted, each title the label its #EXTINF line gives ("Artist -
// Title", the title alone, or the file's name without its extension), no artist.
QList<PlaylistEntry> ListedEntries(QList<PlaylistEntry> entries);
// The list's text, its entries as ListedEntries gives them.
QByteArray PlaylistText(QList<PlaylistEntry> entries, const QString &listKey);
// The entries of a list made for listKey, in its order, each title the label its #EXTINF line
// gives; nothing when it is no such list.
std::optional<QList<PlaylistEntry>> ReadOwnPlaylist(const QString &path, const QString &listKey);

// The name of the list of everything, at the root.
QString WholePlayerListName();
// The list of the album folder folder (absolute, without a trailing separator): in it, named after
// it, the name cut to what the file system takes.
QString AlbumListPath(const QString &folder);

// An MP3 directly in a folder that carries the program's mark, as its list names it.
struct MarkedOutput
{
    PlaylistEntry entry; // file: its name
    SourceStamp stamp;
    QString album; // its tag's album
};
// The MP3s directly in folder whose mark accept takes, their tags and lengths read, in name order.
QList<MarkedOutput> MarkedOutputsIn(const QString &folder, const std::function<bool(const SourceStamp &)> &accept);

enum class ListWrite {
    Unchanged, // it already said so, or there is none and nothing to say
    Written,
    Removed,
    Foreign, // a list of that name that is not listKey's stands there and was left alone
    Failed,
};
// Brings the list at path to text (made for listKey): written through a working copy beside it
// when it says something else, removed when text is empty and it is listKey's. A list that is not
// listKey's is left as it is (Foreign when there was something to write).
ListWrite PutPlaylist(const QString &path, const QByteArray &text, const QString &listKey);

// A list's text, its entries in the order given, each title the label (as ListedEntries or
// ReadOwnPlaylist give them).
QByteArray PlaylistTextInOrder(const QList<PlaylistEntry> &entries, const QString &listKey);
// The folders under root, symbolic links left out, in name order.
QStringList FoldersUnder(const QString &root);
// Appends the entries of folder's own list (listKey's) to all, their paths relative to root.
void AppendAlbumList(QList<PlaylistEntry> &all, const QString &root, const QString &folder, const QString &listKey);

struct PlaylistUpdate
{
    int written = 0;
    int removed = 0;
    QStringList problems; // for a person, Chinese
};

// Brings the lists of the player up to date for the outputs of libraryKey: the list of each
// folder in touched (absolute, without a trailing separator) and of each folder with outputs but
// no list of its own is rewritten from its outputs' tags (or removed when it holds none any
// more); the whole player's list is made again from the album lists when any of them changed or
// it is missing.
PlaylistUpdate UpdatePlaylists(const QString &player, const QString &libraryKey, const QSet<QString> &touched);

} // namespace Sveltra
