#pragma once

#include <QString>

#include <functional>

#include "core/media/mediatag.h"
#include "core/output/naming.h"
#include "core/output/rowoutcome.h"

namespace Sveltra {

// The encoder's finished file and what it is to become. An output is tagged and checked under a
// working name beside its target and takes its name only when whole, so a file at a target's name
// is never half-written or untagged, and nothing is ever written in place into a named output.
struct OutputToFinish
{
    QString work;   // the encoder's output under its working name (WorkPathFor)
    QString target; // the name it is to take
    // Further names when the target has been taken since the run started (a user's file saved
    // there meanwhile): FitTargetName(parts, nameLimit, copy + 1) and on.
    TargetNameParts parts;
    int nameLimit = 255;
    int copy = 1;
    // The target holds an earlier output of the same source and profile: it is replaced.
    bool replaceEarlier = false;
    MediaTag tag;
    double encodedSeconds = -1.0; // the length the encoder says it wrote; < 0 when it said none
    qint64 sourceMs = 0;          // the source's length as its own header states it; 0 unknown
    bool copied = false;          // the encoder kept the source's frames
};

struct FinishedOutput
{
    RowOutcome outcome = RowOutcome::Failed;
    QString target; // the name the file took
    QString note;   // the row's note: a failure's reason, the damage note
    QString detail; // for the log, in English
};

// Tags the working file, checks it (the tag reads back, the audio counts to the length the
// encoder wrote), names it without ever replacing another file, and tells whether the source was
// damaged. Blocks; meant for a worker thread. On failure the working file is gone and any file at
// the target is as it was.
FinishedOutput FinishOutput(const OutputToFinish &output);

// Writes user texts (an album's loudness) into a finished output the same way: a copy beside it
// takes them and is checked, then replaces it by a rename, so a failure or a kill leaves the file
// as it was. A file that already says them is left alone. Returns an empty text when done, else
// the reason (and the detail in the log). Blocks.
QString RetagOutput(const QString &file, const QList<QPair<QString, QString>> &texts);

// Changes a finished file through a copy: the copy is made under a working name beside target,
// change() writes into it (an empty text when done, else why not), and it takes target's name
// (over a file there only when replace). Returns an empty text when done; else why not, and
// everything is as it was. Blocks.
QString ChangeThroughCopy(const QString &file, const QString &target, bool replace,
                          const std::function<QString(const QString &work)> &change);

// Gives the file from the name to, only where nothing stands there (on any file system). True when
// it took it.
bool NameWithoutReplacing(const QString &from, const QString &to);

// A name for an output that is not done yet, hidden in target's folder: ".sveltra-XXXXXXXX.part".
QString WorkPathFor(const QString &target);
// Whether a name is such a working name.
bool IsWorkName(const QString &fileName);

} // namespace Sveltra
