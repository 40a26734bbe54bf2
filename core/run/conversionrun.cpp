#include "core/run/conversionrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <utility>

#include "core/cd/cddrive.h"
#include "core/joblist/jobrows.h"
#include "core/output/failurereason.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"
#include "core/run/encoderprocess.h"
#include "core/run/rowrecord.h"

namespace Sveltra {

namespace {
// A CD track's progress: the rip takes this share, the encoder the rest.
constexpr int RipShare = 70;
} // namespace

// One conversion in flight. Owned by the run; lives on the run's thread.
struct ConversionRun::Job
{
    int row = -1;
    QString source;
    QString target;
    QString work;        // where the encoder writes; the file takes target's name when whole
    TargetChoice choice; // how target was chosen, for the next free name
    MediaTag CurrentTag; // what SetMP3Tag writes into this conversion's file
    EncoderProcess *encoder = nullptr;
    QString input; // what the encoder reads (a ripped track's WAV)
    bool ended = false;
    bool finishing = false;                  // its output is being tagged, checked and named
    std::optional<LoudnessReading> loudness; // of the output, as the encoder measured it
    // CD tracks: read into wavPath first by the ripper.
    QString cdDrive;
    int cdTrack = 0;
    QString wavPath;
    bool awaitingRip = false;
};

ConversionRun::ConversionRun(Environment environment, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_loudness(new RunLoudness(this))
    , m_ripper(new TrackRipper(this))
    , m_finisher(new OutputFinisher(this))
{
    m_env.maxParallel = std::max(1, m_env.maxParallel);
    connect(m_ripper, &TrackRipper::progress, this,
            [this](int row, int percent) { emit rowProgress(row, percent * RipShare / 100); });
    connect(m_ripper, &TrackRipper::ripped, this, &ConversionRun::ripEnded);
    connect(m_finisher, &OutputFinisher::finished, this, [this](int row, const FinishedOutput &ended) {
        if (Job *job = jobOf(row))
            finishJob(job, ended);
    });
    connect(m_finisher, &OutputFinisher::retagged, this,
            [this](const QList<AlbumLedger::AlbumFile> &files, const QList<QPair<int, QString>> &failed) {
                JobRows &rows = *m_env.rows;
                for (const AlbumLedger::AlbumFile &file : files) {
                    if (rows.cell(file.row, JobColumn::Target) == file.target)
                        RecordTargetSize(rows, file.row, file.target); // the texts change its size
                }
                // The file is whole with its own track's texts; the row says what is missing.
                for (const auto &[row, reason] : failed)
                    rows.setNote(row, reason);
                checkDone();
            });
}

ConversionRun::~ConversionRun()
{
    // A run torn down mid-way (the program is closing) leaves no encoder, rip or half-named file
    // behind: the stages' own teardown stops and waits for them, the encoders here first.
    for (const auto &job : m_jobs)
        delete job->encoder;
    delete m_ripper;
    delete m_finisher;
    // A rip of the measuring pass ends before its file is removed.
    delete m_loudness;
    removeMeasuredRips();
}

void ConversionRun::removeMeasuredRips()
{
    for (const QString &wav : std::as_const(m_ripsMeasured))
        QFile::remove(wav);
    m_ripsMeasured.clear();
}

void ConversionRun::start()
{
    if (m_started)
        return;
    m_started = true;
    const QString folderText = m_env.outputFolder ? m_env.outputFolder() : QString();
    RunSettings settings;
    settings.outputFolder = NormalizeOutputFolder(folderText);
    if (settings.outputFolder != folderText && m_env.setOutputFolder)
        m_env.setOutputFolder(settings.outputFolder);
    settings.channelChoice = m_env.channelChoice ? m_env.channelChoice() : 1;
    settings.qualityChoice = m_env.qualityChoice ? m_env.qualityChoice() : 1;
    settings.level = m_env.level;
    settings.cdDriveFor = m_env.cdDriveFor;
    m_plan = PlanRun(*m_env.rows, settings);
    emit started(m_plan.queued());
    // Encoders start once the loudness of what levelling needs is known (at once without it);
    // with nothing to convert the run ends then, from the event loop.
    connect(m_loudness, &RunLoudness::ready, this, [this] {
        scheduleMore();
        checkDone();
    });
    m_loudness->begin(loudnessRows(), m_env.level, m_env.encoderPath, m_env.maxParallel);
}

QList<RunLoudness::Row> ConversionRun::loudnessRows()
{
    QList<RunLoudness::Row> rows;
    for (const PlannedRow &p : std::as_const(m_plan.rows)) {
        if (p.kind == PlannedKind::Fail || (p.kind == PlannedKind::Keep && p.album < 0))
            continue;
        RunLoudness::Row row{p.row, p.cdTrack > 0 ? QString() : p.source, p.encoderArguments, p.member, {}};
        if (p.kind == PlannedKind::Keep) {
            row.keptTarget = p.target.target;
            row.kept = p.keptLoudness;
        } else if (p.cdTrack > 0 && m_env.level) {
            row.prepare = measuringRip(p, row.source);
        }
        rows << row;
    }
    return rows;
}

std::function<bool(const std::atomic<bool> &)> ConversionRun::measuringRip(const PlannedRow &track, QString &wavOut)
{
    // A CD's tracks are levelled as one album: each is ripped for measuring first, and its encoder
    // later takes that WAV instead of reading the disc again.
    const QString wav = m_env.tempBasePath + QStringLiteral("-measured%1.wav").arg(track.row);
    m_ripsMeasured.insert(track.row, wav);
    wavOut = wav;
    return [drive = track.cdDrive, number = track.cdTrack, wav](const std::atomic<bool> &abort) {
        const RipResult result = RipTrackToWav(drive, number, wav, [&abort](int) { return !abort.load(); });
        if (!result.ok) {
            qWarning("Cannot rip track %d of %s for measuring: %s", number, qPrintable(drive), qPrintable(result.message));
            QFile::remove(wav);
        }
        return result.ok;
    };
}

void ConversionRun::cancel()
{
    if (!m_started || m_done || m_cancelled)
        return;
    m_cancelled = true;
    m_loudness->cancel();
    m_ripper->cancel(); // the rip under way stops within a second and leaves no file
    for (const auto &job : m_jobs) {
        if (job->encoder)
            job->encoder->stop();
    }
    // A CD track still waiting for the drive has neither a rip nor an encoder that could end
    // it, so it ends here (from the event loop, like every other job).
    QTimer::singleShot(0, this, &ConversionRun::endIdleJobs);
}

void ConversionRun::endIdleJobs()
{
    std::vector<Job *> idle;
    for (const auto &job : m_jobs) {
        if (!job->ended && !job->encoder && !job->finishing && m_ripper->current() != job->row)
            idle.push_back(job.get());
    }
    for (Job *job : idle)
        finishJob(job, failure({}, {}));
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
        if (static_cast<int>(m_jobs.size()) >= m_env.maxParallel)
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
    auto job = std::make_unique<Job>();
    job->row = planned.row;
    job->source = planned.source;
    job->target = planned.target.target;
    job->work = WorkPathFor(job->target);
    job->choice = planned.target;
    job->CurrentTag = planned.tag;
    job->cdDrive = planned.cdDrive;
    job->cdTrack = planned.cdTrack;
    emit rowStarted(m_ordinal, job->source, job->target);
    Job *raw = job.get();
    m_jobs.push_back(std::move(job));
    if (planned.kind == PlannedKind::Fail) {
        // Nothing can be ripped or encoded. Ended from the event loop.
        QTimer::singleShot(
            0, this, [this, raw, reason = planned.reason, detail = planned.detail] { finishJob(raw, failure(reason, detail)); });
        return;
    }
    // The row's sub-folder of the output folder; the encoder says so if it cannot write there.
    const QString targetFolder = QFileInfo(raw->target).path();
    if (!QDir().mkpath(targetFolder))
        qWarning("Cannot make the folder %s", qPrintable(targetFolder));
    MediaConvert(raw);
}

void ConversionRun::MediaConvert(Job *raw)
{
    if (raw->cdTrack == 0) {
        startEncoder(raw, raw->source);
        return;
    }
    if (m_env.cdTrackFacts) {
        const CdTrackFacts facts = m_env.cdTrackFacts(raw->cdDrive, raw->cdTrack);
        MediaTag &tag = raw->CurrentTag;
        for (auto [field, value] : {std::pair{&tag.Track, facts.Track}, std::pair{&tag.Disc, facts.Disc},
                                    std::pair{&tag.Genre, facts.Genre}, std::pair{&tag.AlbumArtist, facts.AlbumArtist}}) {
            if (!value.isEmpty())
                *field = value;
        }
        if (tag.Year.trimmed().isEmpty())
            tag.Year = facts.Year;
        if (!facts.Cover.isEmpty())
            tag.Cover = facts.Cover;
    }
    const QString measured = m_ripsMeasured.take(raw->row);
    if (!measured.isEmpty() && QFileInfo(measured).isFile()) {
        raw->wavPath = measured;
        startEncoder(raw, measured);
        return;
    }
    raw->wavPath = m_env.tempBasePath + QStringLiteral("-%1.wav").arg(m_ordinal);
    raw->awaitingRip = true;
    m_ripper->enqueue(raw->row, raw->cdDrive, raw->cdTrack, raw->wavPath);
    updateMonitorState();
}

void ConversionRun::ripEnded(int row, bool ok, const QString &detail)
{
    Job *job = jobOf(row);
    if (!job)
        return;
    job->awaitingRip = false;
    if (!ok || m_cancelled)
        finishJob(job, failure(CdReadFailedReason(), detail));
    else
        startEncoder(job, job->wavPath);
    updateMonitorState();
}

void ConversionRun::startEncoder(Job *job, const QString &input)
{
    m_encoderCommand = EncoderCommandLine(m_env.encoderPath, input, job->target, m_plan.options);
    job->input = input;
    QStringList arguments = QStringList{input, job->work} + EncoderOptionList(m_plan.options);
    // In a run of several rows each encoder works on one thread: the cores go to several files
    // at once, and every row comes out the same however many run together. A run of one row
    // lets the encoder spread its file over every core.
    if (m_plan.queued() > 1)
        arguments << QStringLiteral("-1t");
    arguments += m_loudness->encoderArguments(job->row);
    job->encoder = new EncoderProcess({m_env.encoderPath, arguments, job->cdTrack > 0 ? RipShare : 0}, this);
    connect(job->encoder, &EncoderProcess::progress, this,
            [this, row = job->row](int percent) { emit rowProgress(row, percent); });
    connect(job->encoder, &EncoderProcess::finished, this,
            [this, job](bool ok, const QString &reason, const QString &detail) { encoderEnded(job, ok, reason, detail); });
    job->encoder->start();
    updateMonitorState();
}

void ConversionRun::encoderEnded(Job *job, bool ok, const QString &reason, const QString &detail)
{
    EncoderProcess *encoder = std::exchange(job->encoder, nullptr);
    encoder->deleteLater();
    const std::optional<LoudnessReading> loudness = encoder->loudness();
    if (!ok) {
        finishJob(job, failure(reason, detail));
        return;
    }
    if (!m_cancelled && m_loudness->encodeAgain(job->row, loudness, encoder->copied())) {
        startEncoder(job, job->input);
        return;
    }
    // The file is written under its working name: it is tagged, checked and named off this
    // thread, then the job ends with what came of it.
    OutputToFinish output;
    output.work = job->work;
    output.target = job->target;
    output.parts = job->choice.parts;
    output.nameLimit = job->choice.nameLimit;
    output.copy = job->choice.copy;
    output.replaceEarlier = job->choice.replaceEarlier;
    output.tag = job->CurrentTag;
    output.copied = encoder->copied();
    if (loudness)
        output.encodedSeconds = loudness->seconds;
    const QString levelled = m_loudness->describe(job->row, loudness, output.copied, output.tag.UserTexts);
    job->CurrentTag = output.tag;
    job->finishing = true;
    // A CD track's length is the rip's; a file's is what its own header states.
    m_finisher->finish(job->row, output, job->cdTrack > 0 ? QString() : job->source, levelled);
    job->loudness = loudness; // what the album's texts are measured from
    updateMonitorState();
}

void ConversionRun::updateMonitorState()
{
    int state = 0;
    if (m_ripper->current() >= 0)
        state = 2;
    else if (std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto &j) { return j->encoder && !j->ended; }))
        state = 1;
    if (state != m_monitorState) {
        m_monitorState = state;
        emit monitorStateChanged(state);
    }
}

FinishedOutput ConversionRun::failure(const QString &reason, const QString &detail)
{
    FinishedOutput ended;
    ended.note = reason;
    ended.detail = detail;
    return ended;
}

ConversionRun::Job *ConversionRun::jobOf(int row) const
{
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [row](const auto &j) { return j->row == row; });
    return it == m_jobs.end() ? nullptr : it->get();
}

void ConversionRun::finishJob(Job *job, const FinishedOutput &ended)
{
    // A job may be ended from two queued events (a cancel and its own end); the second finds it
    // gone. Compare pointers only: a job that has gone is freed.
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [job](const auto &j) { return j.get() == job; });
    if (it == m_jobs.end() || job->ended)
        return;
    job->ended = true;

    // An encoder that finished its file before the stop reached it has done its row; a stopped
    // one leaves its row queued.
    const bool recorded = !m_cancelled || job->finishing;
    const int row = job->row;
    if (recorded) {
        if (ended.outcome == RowOutcome::Failed)
            qWarning("Conversion of %s failed: %s", qPrintable(job->source), qPrintable(ended.detail));
        else if (ended.outcome == RowOutcome::Damaged)
            qWarning("The source %s is damaged: %s", qPrintable(job->source), qPrintable(ended.detail));
        RecordRowEnd(*m_env.rows, row, ended.outcome, ended.target, ended.note);
        // The album's texts, once its last row is here, go into its files.
        m_finisher->retag(m_loudness->ended(row, ended.outcome == RowOutcome::Failed ? QString() : ended.target, job->loudness));
    }
    if (job->encoder)
        job->encoder->deleteLater();
    if (!job->wavPath.isEmpty())
        QFile::remove(job->wavPath);
    // A stopped or failed encoder removes its own unfinished file; FinishOutput removes a file
    // that is not whole. What is left of a job that never reached it goes here.
    if (ended.outcome == RowOutcome::Failed)
        QFile::remove(job->work);
    m_jobs.erase(it);
    if (recorded)
        emit rowFinished(row, ended.outcome);

    scheduleMore();
    updateMonitorState();
    checkDone();
}

void ConversionRun::checkDone()
{
    if (m_done || !m_started || !m_jobs.empty() || !m_upToDate.empty() || m_finisher->pending() > 0)
        return;
    if (!m_cancelled && m_next < m_plan.queued())
        return;
    m_done = true;
    removeMeasuredRips();
    updateMonitorState();
    emit finished(m_cancelled);
}

} // namespace Sveltra
