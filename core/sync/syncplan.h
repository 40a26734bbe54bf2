#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/output/targets.h"

// Keeping a player's folder in step with a music library: what a sync would do, decided from the
// two folders alone before anything changes. Pure file-system reads; no window, any thread (one
// plan at a time per pair of folders).
namespace Sveltra {

// What a sync is asked to do: the library folder and the player folder, the profile's choice
// numbers and levelling (those of the settings file).
struct SyncRequest
{
    QString library;
    QString player;
    int channelChoice = 1;
    int qualityChoice = 1;
    bool levelled = false;
    // Workers for reading tags and stamps; 0 takes one per core.
    int threads = 0;
};

// One thing a sync does to one source or output.
struct SyncItem
{
    enum class Kind {
        New,       // a source with no output yet: encoded
        Changed,   // its audio, profile or levelling changed: encoded again
        Moved,     // renamed or moved in the library (or its output lies elsewhere): output moved
        TagsOnly,  // only its tags changed: the output's tag rewritten
        Gone,      // its source is gone: the output removed
        Unchanged, // nothing to do
        TooLarge,  // its output would not fit in one file of the player's file system
    };
    Kind kind = Kind::Unchanged;
    QString source;     // the library file (empty for Gone)
    QString relative;   // the source's path under the library, with "/"
    QString output;     // the output as it is now (empty for New and TooLarge)
    QString target;     // where the output is to be (empty for Gone)
    bool retag = false; // a move whose source's tags changed too, or TagsOnly
    qint64 added = 0;   // bytes it takes on the player (an estimate for an encode)
    qint64 freed = 0;   // bytes it gives back
    SourceStamp stamp;  // the mark the output is to carry (not for Gone)
};

struct SyncPlan
{
    // Set when the sync must not start (a library that is missing, empty or unreadable, a player
    // folder that cannot be written): the reason for a person. Nothing else of the plan then holds.
    QString refusal;
    QString library; // absolute and clean, without a trailing separator
    QString player;
    QString libraryKey;
    QString prefix;  // the profile's name prefix
    QString options; // the encoder options
    QList<SyncItem> items;
    int outputsBefore = 0; // the outputs of this library on the player when the plan was made
    qint64 freeBytes = -1; // on the player's file system; -1 when it cannot tell
    bool fatLimit = false; // the player's file system holds no file of 4 GiB or more

    int count(SyncItem::Kind kind) const;
    qint64 addedBytes() const;
    qint64 freedBytes() const;
    // Whether what the sync adds, less what it frees, fits in the free space (with a margin).
    bool fits() const;
    // Whether the sync removes more than half of the player's outputs of this library: it is then
    // done only when the person says so.
    bool removesMostOutputs() const;
    // Whether anything would change on the player.
    bool hasWork() const;
};

// Decides the plan. Sources are the audio files under the library (hidden entries, "._*" and
// ".DS_Store" are none); outputs are the MP3 files under the player that carry the mark of a
// source of this library (its library key, or the key of a source that is there now); any other
// file of the player is never named in the plan.
SyncPlan PlanSync(const SyncRequest &request);

// The plan as lines for a person: the counts, the bytes, the free space and whether it fits, then
// each removal, move and file that does not fit by name. Chinese.
QStringList SyncPlanLines(const SyncPlan &plan);
// The one-line summary of the counts: "新增 1，更新 0，移动 2，改标签 1，删除 1，不变 40".
QString SyncCountsText(const SyncPlan &plan);

// The key a sync keeps of a library folder.
QString LibraryKey(const QString &libraryFolder);
// A hash of everything a source's tag holds (texts and pictures): 32 hex digits. Safe on any thread.
QString SourceTagsHash(const QString &path);
// Whether a library entry's name is one a sync never takes as a source: hidden ("." first),
// "._*" (another system's resource forks) and ".DS_Store".
bool IsIgnoredLibraryName(const QString &name);

} // namespace Sveltra
