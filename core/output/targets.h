#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

#include "core/output/naming.h"

// Where each row of a run writes: the output folder, the row's sub-folder (the tree under the
// folder it was added from), a name no other row of the run and no other file takes, and
// whether an earlier output of the same source is still good. Decided once, when the run
// starts, so the result never depends on which encoder finishes first.
namespace Sveltra {

// The mark a finished file carries of what made it: its source (a key of the source's path, so
// no folder or user name travels with the file), size and modification time, and the profile
// (prefix and encoder options). A CD track has no modification time (0) and its size is the
// row's.
struct SourceStamp
{
    // The source's path when the stamp is made here; "#" and the path's key when read back from a
    // file (marks of earlier versions held the path itself, and still read).
    QString source;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    QString profile;
    // Whether the audio was levelled ("音量均衡"): not part of the profile (such a file may be
    // written over), but a file levelled otherwise is not up to date.
    bool levelled = false;
    // Written by a sync only, empty otherwise: a hash of the source's audio packets, a hash of its
    // tags, and the key of the library folder the source lay in (SourcePathKey).
    QString audioHash{};
    QString tagsHash{};
    QString libraryKey{};

    // "2", size, modification time, profile, "L" when levelled (else "-"), the source's key;
    // separated by tabs; then "audio=HEX", "tags=HEX" and "lib=#KEY" for those that are set (a
    // reader that knows none of them reads the first six fields). Marks of version 1 ("1", size, time, profile, "L" when
    // levelled, the path in clear) are read too.
    QString text() const;
    // The source's key however the stamp holds it, for comparing two stamps.
    QString sourceKey() const;
    static std::optional<SourceStamp> parse(const QString &text);
    // The stamp of a file source as it is now; nothing when it cannot be read.
    static std::optional<SourceStamp> ofFile(const QString &source, const QString &profile, bool levelled = false);
};

// The key a stamp keeps of a source path: "#" and 32 hex digits.
QString SourcePathKey(const QString &path);

// The profile part of a stamp: the prefix names device and quality, the options what the
// encoder is told.
QString StampProfile(const QString &prefix, const QString &options);

// The sub-folder, with a trailing separator, of source under the folder base it was added from,
// each part made valid on any card (SafeFolderName); empty when base is empty or does not hold
// source.
QString OutputSubfolder(const QString &source, const QString &base);

// One row as the assignment sees it.
struct TargetRequest
{
    QString source; // full path (a CD track's: the drive folder and "TrackNN.cda")
    QString name;   // the source's file name as the row shows it
    QString title;  // a CD track's name comes from it
    QString baseFolder;
    bool cdTrack = false;
    qint64 size = 0;        // a CD track's size as the row shows it
    bool reconvert = false; // the user asked for it again: never up to date
};

struct TargetChoice
{
    QString target;
    QString stamp;         // what the output is to carry (empty when the source cannot be read)
    bool upToDate = false; // the target is an earlier output of this unchanged source
    // The target holds an earlier output of the same source and profile, to be written over.
    bool replaceEarlier = false;
    // How the name was made, for the next free name should the target be taken by the time the
    // output is done: FitTargetName(parts, nameLimit, copy + 1).
    TargetNameParts parts;
    int nameLimit = 255;
    int copy = 1;
};

// Hands out the targets of one run, row by row in list order. A target already claimed by an
// earlier row of the run, or the path of a file of another source (or of one the user put there,
// or a source of the run), gets " (2)", " (3)" ... before the extension; a file that is an
// earlier output of the same source with the same profile is taken again: up to date when the
// source's size and modification time are unchanged (never for a CD track), else converted
// over. Names ignore letter case, as FAT and exFAT do. Each folder is listed once, when first
// met: the assigner is for one run. Not thread-safe; reads stamps from the files it meets.
class TargetAssigner
{
public:
    // outputFolder ends in a separator (or is empty: the working folder).
    // levelled: whether this run levels the audio (an output levelled otherwise is converted again).
    TargetAssigner(QString outputFolder, QString prefix, QString options, bool levelled = false);

    // Paths that are never a target (the sources of the list): a predicate over existing files.
    void setProtected(std::function<bool(const QString &path)> isProtected) { m_protected = std::move(isProtected); }

    TargetChoice assign(const TargetRequest &request);

private:
    int nameLimit(const QString &folder);
    // The names in folder as they were when first asked, by case-folded path.
    const QHash<QString, QString> &entries(const QString &folder);

    QString m_output;
    QString m_prefix;
    QString m_profile;
    bool m_levelled = false;
    std::function<bool(const QString &)> m_protected;
    QSet<QString> m_claimed; // case-folded
    QHash<QString, int> m_limits;
    QHash<QString, QHash<QString, QString>> m_entries;
};

} // namespace Sveltra
