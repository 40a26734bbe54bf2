#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The play lists a sync leaves on the player: one per album folder, named after the folder and
// lying in it, and one of everything at the player's root. Extended M3U in UTF-8 without a
// byte-order mark: "#EXTM3U" first, "#EXTINF:seconds,Artist - Title" before each entry, paths
// relative to the list with "/" and never "..", never percent-encoded. A list carries a comment
// line with its library's key, so a list a person made is never written over or removed.
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

// The list's text: entries in disc and track order (a track without a number after the numbered
// ones of its disc), then by name (numbers by value).
QByteArray PlaylistText(QList<PlaylistEntry> entries, const QString &libraryKey);
// The entries of a list made for libraryKey, in its order; nothing when it is no such list.
std::optional<QList<PlaylistEntry>> ReadOwnPlaylist(const QString &path, const QString &libraryKey);

// The name of the list of everything, at the player's root.
QString WholePlayerListName();

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
// it is missing. Blocks; safe on any thread (one update per player at a time).
PlaylistUpdate UpdatePlaylists(const QString &player, const QString &libraryKey, const QSet<QString> &touched);

} // namespace Sveltra
