#include "core/run/conversionrun.h"

#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <utility>

#include "core/joblist/jobrows.h"
#include "core/output/failurereason.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"
#include "core/run/measuringrips.h"
#include "core/run/rowrecord.h"

namespace Sveltra {

namespace {
// What the window says when the run starts; the output folder ends in a separator.
RunSettings SettingsOf(const RunEnvironment &env, const QString &folderText)
{
    RunSettings settings;
    settings.outputFolder = NormalizeOutputFolder(folderText);
    settings.channelChoice = env.channelChoice ? env.channelChoice() : 1;
    settings.qualityChoice = env.qualityChoice ? env.qualityChoice() : 1;
    settings.level = env.level;
    settings.cdDriveFor = env.cdDriveFor;
    return settings;
}

} // namespace

ConversionRun::ConversionRun(Environment environment, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_loudness(new RunLoudness(this))
    , m_ripper(new TrackRipper(this))
    , m_finisher(new OutputFinisher(this))
    , m_measuring(new MeasuringRips(m_ripper, m_loudness, m_env.tempBasePath, this))
{
    m_env.maxParallel = std::max(1, m_env.maxParallel);
    connect(m_finisher, &OutputFinisher::retagged, this,
            [this](const QList<AlbumLedger::AlbumFile> &files, const QList<QPair<int, QString>> &failed) {
                RecordAlbumRetag(*m_env.rows, files, failed);
                checkDone();
            });
    connect(m_finisher, &OutputFinisher::listsWritten, this, &ConversionRun::checkDone);
}

ConversionRun::~ConversionRun()
{
    // A run torn down mid-way (the program is closing) leaves no encoder, rip or half-named file
    // behind: each stage's teardown stops and waits for its work, the rows' encoders first.
    for (RowConversion *row : m_rows)
        delete row;
    delete m_ripper;
    delete m_finisher;
    delete m_loudness;
    delete m_measuring; // its files go once nothing rips or measures them
}

void ConversionRun::start()
{
    if (m_started)
        return;
    m_started = true;
    const QString folderText = m_env.outputFolder ? m_env.outputFolder() : QString();
    const RunSettings settings = SettingsOf(m_env, folderText);
    if (settings.outputFolder != folderText && m_env.setOutputFolder)
        m_env.setOutputFolder(settings.outputFolder);
    m_plan = PlanRun(*m_env.rows, settings);
    m_finisher->listOutputsIn(m_plan.outputFolder, StampProfile(m_plan.prefix, m_plan.options));
    emit started(m_plan.queued());
    // Encoders start once the loudness of what levelling needs is known (at once without it);
    // with nothing to convert the run ends then, from the event loop.
    connect(m_loudness, &RunLoudness::ready, this, [this] {
        scheduleMore();
        checkDone();
    });
    m_measuring->begin(m_plan, m_env.level, m_env.encoderPath, m_env.maxParallel);
    connect(m_ripper, &TrackRipper::progress, this, &ConversionRun::updateMonitorState);
    updateMonitorState();
}

void ConversionRun::cancel()
{
    if (!m_started || m_done || m_cancelled)
        return;
    m_cancelled = true;
    m_loudness->cancel();
    m_ripper->cancel(); // the rip under way stops within a second and leaves no file
    for (RowConversion *row : m_rows)
        row->stop();
    // A CD track still waiting for the drive has neither a rip nor an encoder that could end
    // it, so it ends here (from the event loop, like every other row).
    QTimer::singleShot(0, this, &ConversionRun::endIdleRows);
}

void ConversionRun::endIdleRows()
{
    std::vector<RowConversion *> idle;
    std::copy_if(m_rows.begin(), m_rows.end(), std::back_inserter(idle), [](RowConversion *row) { return !row->busy(); });
    for (RowConversion *row : idle)
        rowEnded(row, FinishedOutput{});
    checkDone();
}

void ConversionRun::scheduleMore()
{
    while (!m_cancelled && m_next < m_plan.queued()) {
        const PlannedRow &planned = m_plan.rows[m_next];
        if (planned.kind == PlannedKind::Keep) {
            // Nothing to encode: these take no encoder's place and end together.
            ++m_next;
            if (m_upToDate.empty())
                QTimer::singleShot(0, this, &ConversionRun::finishUpToDate);
            m_upToDate.push_back(planned.row);
            continue;
        }
        if (static_cast<int>(m_rows.size()) >= m_env.maxParallel)
            break;
        ++m_next;
        startRow(planned);
    }
}

void ConversionRun::finishUpToDate()
{
    for (const int row : std::exchange(m_upToDate, {})) {
        const PlannedRow &planned = *m_plan.find(row);
        emit rowStarted(++m_ordinal, planned.source, planned.target.target);
        RecordRowEnd(*m_env.rows, row, RowOutcome::Kept, planned.target.target, UpToDateNote());
        emit rowFinished(row, RowOutcome::Kept);
    }
    checkDone();
}

void ConversionRun::startRow(const PlannedRow &planned)
{
    ++m_ordinal;
    MediaTag tag = planned.tag;
    if (planned.cdTrack > 0 && m_env.cdTrackFacts)
        AddCdTrackFacts(tag, m_env.cdTrackFacts(planned.cdDrive, planned.cdTrack));
    const RowConversion::Stages stages{
        m_env.encoderPath, EncoderOptionList(m_plan.options), m_plan.queued() > 1, m_loudness, m_ripper, m_finisher};
    auto *row = new RowConversion(planned, tag, stages, this);
    m_rows.push_back(row);
    connect(row, &RowConversion::progress, this, &ConversionRun::rowProgress);
    connect(row, &RowConversion::encoderStarted, this, [this](const QString &command) { m_encoderCommand = command; });
    connect(row, &RowConversion::stateChanged, this, &ConversionRun::updateMonitorState);
    connect(row, &RowConversion::ended, this, &ConversionRun::rowEnded);
    emit rowStarted(m_ordinal, planned.source, planned.target.target);
    row->start(m_measuring->take(planned.row), m_env.tempBasePath + QStringLiteral("-%1.wav").arg(m_ordinal));
}

void ConversionRun::updateMonitorState()
{
    MonitorPhase state = MonitorPhase::Idle;
    if (m_ripper->current() >= 0)
        state = MonitorPhase::Ripping;
    else if (std::any_of(m_rows.begin(), m_rows.end(), [](RowConversion *row) { return row->encoding(); }))
        state = MonitorPhase::Encoding;
    if (state != m_monitorState) {
        m_monitorState = state;
        emit monitorStateChanged(state);
    }
}

void ConversionRun::rowEnded(RowConversion *conversion, const FinishedOutput &ended)
{
    // A row may be ended from two queued events (a cancel and its own end); the second finds it
    // gone. Compare pointers only: a row that has gone is freed.
    const auto it = std::find(m_rows.begin(), m_rows.end(), conversion);
    if (it == m_rows.end())
        return;
    m_rows.erase(it);
    // An encoder that finished its file before the stop reached it has done its row; a stopped
    // one leaves its row queued.
    const bool recorded = !m_cancelled || conversion->finishing() || ended.outcome != RowOutcome::Failed;
    const int row = conversion->row();
    if (recorded) {
        LogRowEnd(m_plan.find(row)->source, ended.outcome, ended.detail);
        RecordRowEnd(*m_env.rows, row, ended.outcome, ended.target, ended.note);
        if (const PlannedRow *planned = m_plan.find(row); m_env.playlists && ended.outcome != RowOutcome::Failed)
            m_finisher->listOutput(ended.target, planned->cdTrack > 0, planned->tag.Album);
        // The album's texts, once its last row is here, go into its files.
        const bool failed = ended.outcome == RowOutcome::Failed;
        m_finisher->retag(m_loudness->ended(row, failed ? QString() : ended.target, conversion->loudness()));
    }
    conversion->deleteLater();
    if (recorded)
        emit rowFinished(row, ended.outcome);

    scheduleMore();
    updateMonitorState();
    checkDone();
}

void ConversionRun::checkDone()
{
    if (m_done || !m_started || !m_rows.empty() || !m_upToDate.empty() || m_finisher->pending() > 0)
        return;
    if (!m_cancelled && m_next < m_plan.queued())
        return;
    // The lists of what the run wrote (a stopped run's too: its outputs are whole), once.
    if (m_finisher->writeListsOnce())
        return;
    m_done = true;
    m_measuring->removeAll();
    updateMonitorState();
    emit finished(m_cancelled);
}

} // namespace Sveltra
