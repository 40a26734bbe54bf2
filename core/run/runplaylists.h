#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include "core/playlist/playlist.h"

// The play lists a run over the job list leaves beside its outputs (a sync's conversions leave
// theirs to the sync). The outputs of such runs carry a mark without a library key, in this version
// and every earlier one, so a list is made from every such output in its folder, whichever run
// wrote it; the lists carry RunListKey, the same for every output folder, so a card read under
// another mount point is still the same card.
namespace Sveltra {

// The key in the lists of runs (a sync's lists carry their library's key).
QString RunListKey();

// What a run wrote, gathered as its rows end.
struct RunLists
{
    QString outputFolder;  // the run's output folder (its working folder when empty)
    QString profile;       // the run's StampProfile: of two outputs of one source in a folder, this one is listed
    QSet<QString> folders; // the folders an output of a file went into (absolute, no trailing separator)
    // The discs whose tracks the run wrote: the folder they went to, and the album the disc's names give.
    QSet<QPair<QString, QString>> discs;

    bool isEmpty() const { return folders.isEmpty() && discs.isEmpty(); }
    // A row's output is whole: target is its path, album its album (a CD track's: its disc's).
    void addOutput(const QString &target, bool cdTrack, const QString &album);
};

// Whether the output folder gets the list of everything under it: not the home folder, a folder
// above it, or one of the desktop's own folders (music, desktop, documents, downloads, videos,
// pictures), which hold more than this program's outputs; yes for a folder of its own or a card.
bool WholeListWanted(const QString &outputFolder);

// The file name of a disc's list: its album ("音乐光盘" without one) made valid on any card, in
// nameLimit bytes.
QString DiscListName(const QString &album, int nameLimit = 255);

// Writes the lists of a run that wrote something: each folder under the output folder that the
// run wrote into gets its list (AlbumListPath) of all its outputs of runs; each disc, its list
// (DiscListName) in the folder its tracks went to, of that folder's CD tracks with its album, in
// track order; and, when WholeListWanted, the output folder the list of everything: its own
// outputs (album by album), then the album lists under it by folder name. A list that is not a
// run's is left alone, and said so, as is a list that cannot be written (in the log too). Blocks;
// safe on any thread.
PlaylistUpdate WriteRunPlaylists(const RunLists &lists);

} // namespace Sveltra
