#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "core/cd/audiograbber.h"
#include "core/loudness/loudness.h"
#include "core/loudness/runloudness.h"
#include "core/media/mediatag.h"
#include "core/output/outputfinish.h"
#include "core/output/rowoutcome.h"
#include "core/output/targets.h"
#include "core/run/outputfinisher.h"
#include "core/run/rowconversion.h"
#include "core/run/runplan.h"
#include "core/run/runplaylists.h"
#include "core/run/trackripper.h"
#include "core/tags/outputtag.h"

namespace Sveltra {

class JobRows;
class MeasuringRips;

// What the monitor window's animation shows: the run idle, a CD track being ripped, or an
// encoder running (the values are the window's own numbers).
enum class MonitorPhase { Idle = 0, Encoding = 1, Ripping = 2 };

// What a run works with: the rows, the window's choices read when it starts, the encoder, and
// what the CD stage asks the window.
struct RunEnvironment
{
    JobRows *rows = nullptr;
    // The output folder box: read when the run starts; a missing trailing separator is added
    // to the box itself.
    std::function<QString()> outputFolder;
    std::function<void(const QString &)> setOutputFolder;
    // Profile choice numbers, read when the run starts.
    std::function<int()> channelChoice;
    std::function<int()> qualityChoice;
    QString encoderPath; // the fastencc program
    // A folder of the run's own + "~sveltratmp": ripped CD tracks go to this name followed
    // by "-<ordinal>.wav", one name per track, so conversions never share a file.
    QString tempBasePath;
    int maxParallel = 1;
    // The CD drive (device or image path) whose name is a track path's folder, or empty when
    // no drive is; without it CD tracks fail.
    std::function<QString(const QString &folder)> cdDriveFor;
    // What the disc's lookup knows of a CD track (drive, track number): track and disc
    // numbers, genre, year (the row's own wins), album artist, the disc's cover. Optional.
    std::function<CdTrackFacts(const QString &drive, int track)> cdTrackFacts;
    // Levelling ("音量均衡"): every output brought to one loudness, albums as one (runloudness.h).
    bool level = false;
    // Whether the run leaves play lists beside what it wrote (WriteRunPlaylists): a run of the job
    // list does; a sync's conversions leave the lists to the sync.
    bool playlists = false;
};

// One pass over the job list that turns every queued row into an MP3 file for the current
// profile. Up to maxParallel encoders run at once; rows start in list order and each row's
// outcome is what a one-at-a-time pass would give. The run is driven by process signals on
// the thread that owns it (the user-interface thread): nothing waits or spins.
class ConversionRun final : public QObject
{
    Q_OBJECT

public:
    using Environment = RunEnvironment;

    explicit ConversionRun(Environment environment, QObject *parent = nullptr);
    ~ConversionRun() override;

    // Plans the run (PlanRun: every queued row's target, kind and album) and starts as many
    // conversions as allowed. A row whose earlier output is up to date is done without
    // encoding (its note says so). Emits finished() from the event loop when there is nothing
    // to do.
    void start();
    // Stops every running encoder (its unfinished output never appears) and starts no more
    // rows; rows that were converting stay queued (but one whose encoder finished its file first
    // is done). finished(true) follows once every encoder process has ended.
    void cancel();

    bool isRunning() const { return m_started && !m_done; }
    int queuedAtStart() const { return m_plan.queued(); }
    // What the run decided when it started.
    const RunPlan &plan() const { return m_plan; }
    // The command line of the most recently started conversion, for display.
    const QString &EncoderCommand() const { return m_encoderCommand; }
    // The play lists written once the last row has ended (before finished()).
    const PlaylistUpdate &playlists() const { return m_finisher->listed(); }

signals:
    // The number of queued rows when the run began.
    void started(int queued);
    // A row started converting: its ordinal among the queued rows, its source and target.
    void rowStarted(int ordinal, const QString &source, const QString &target);
    // Ripping while a CD track is ripped, else Encoding while any encoder runs, else Idle.
    void monitorStateChanged(Sveltra::MonitorPhase state);
    // How far a row has come, 0 to 100, growing only: the encoder's own progress, and for a CD
    // track first its rip (up to 70) and then the encoder (the rest).
    void rowProgress(int row, int percent);
    // A row has ended as outcome; its cells, status and note are set.
    void rowFinished(int row, Sveltra::RowOutcome outcome);
    void finished(bool cancelled);

private:
    void scheduleMore();
    void startRow(const PlannedRow &planned);
    // Ends the rows whose earlier output is up to date, from the event loop.
    void finishUpToDate();
    void updateMonitorState();
    // Ends a row as ended says; a failed one carries the reason the user reads (Chinese) in its
    // note and the detail that goes to the log.
    void rowEnded(RowConversion *conversion, const FinishedOutput &ended);
    // Ends the rows of a cancelled run that wait for nothing that could end them.
    void endIdleRows();
    void checkDone();

    Environment m_env;
    RunPlan m_plan;
    std::vector<RowConversion *> m_rows; // the rows under way, children of the run
    int m_next = 0;                      // the next planned row to start
    int m_ordinal = 0;
    MonitorPhase m_monitorState = MonitorPhase::Idle;
    bool m_started = false;
    bool m_cancelled = false;
    bool m_done = false;
    QString m_encoderCommand;
    std::vector<int> m_upToDate; // rows to end as up to date at the next turn of the event loop
    // Children, the stages the rows share: albums, levelling and ReplayGain texts; CD rips;
    // naming and album retags.
    RunLoudness *m_loudness = nullptr;
    TrackRipper *m_ripper = nullptr;
    OutputFinisher *m_finisher = nullptr;
    MeasuringRips *m_measuring = nullptr;
};

} // namespace Sveltra
