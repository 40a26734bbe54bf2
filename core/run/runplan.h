#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "core/cd/audiograbber.h"
#include "core/loudness/loudness.h"
#include "core/loudness/runloudness.h"
#include "core/media/mediatag.h"
#include "core/output/targets.h"

namespace Sveltra {

class JobRows;

// What a run is asked to do, besides the rows.
struct RunSettings
{
    QString outputFolder; // ends in a separator (NormalizeOutputFolder), or empty: the working folder
    int channelChoice = 1;
    int qualityChoice = 1;
    bool level = false; // "音量均衡"
    // The CD drive (device or image path) whose name is a track path's folder; empty when none.
    std::function<QString(const QString &folder)> cdDriveFor;
};

// What the run will do with one queued row.
enum class PlannedKind {
    Encode, // convert it (the encoder may keep an MP3 source's frames: a copy)
    Keep,   // an earlier output of the unchanged source is up to date
    Fail,   // nothing can be done: the reason says why
};

struct PlannedRow
{
    int row = -1;
    QString source; // full path; a CD track's is its drive folder and "TrackNN.cda"
    PlannedKind kind = PlannedKind::Encode;
    QString reason; // Fail: the row's note
    QString detail; // Fail: for the log
    TargetChoice target;
    QString cdDrive; // a CD track's drive and number; empty and 0 for a file
    int cdTrack = 0;
    int album = -1;     // index into RunPlan::albums, or -1
    AlbumMember member; // what makes its album
    // A kept row of an album with a row to convert: what its output's tag says of its loudness.
    std::optional<KeptLoudness> keptLoudness;
    MediaTag tag;                 // the row's own texts, its source and the mark the output carries
    QStringList encoderArguments; // the profile's options, before the levelling gain
};

// A run decided before anything starts: every queued row's source, target and kind, and the
// albums (kept rows included). Built without touching the encoder; what a preview shows.
struct RunPlan
{
    QString outputFolder;
    QString prefix;
    QString options;
    bool level = false;
    QList<PlannedRow> rows;   // the queued rows, in list order
    QList<QList<int>> albums; // each album's rows (indexes into rows)

    int queued() const { return static_cast<int>(rows.size()); }
    // The planned row of a job-list row; nullptr when it is not queued.
    const PlannedRow *find(int row) const;
};

// Plans a run over the queued rows: targets (TargetAssigner: the row's sub-folder, a name of its
// own, whether an earlier output is up to date; never a file the list converts), CD tracks' drives,
// albums (a CD; or one title, album artist or artist and number of discs), and the tags. Reads the
// files it needs (folders, marks, album tags of rows in albums with something to convert).
RunPlan PlanRun(const JobRows &rows, const RunSettings &settings);

// What the disc's lookup knows of a CD track, put into its tag; the row's own year wins.
void AddCdTrackFacts(MediaTag &tag, const CdTrackFacts &facts);

// The rows the loudness stage knows of: those to convert and the kept rows of their albums. With
// levelling, a CD's tracks are ripped for measuring first (an album's gain needs every track):
// such a row is made later, into measuredWav(row), which the row's encoder then takes instead of
// reading the disc again.
QList<RunLoudness::Row> LoudnessRows(const RunPlan &plan, const std::function<QString(int row)> &measuredWav);

} // namespace Sveltra
