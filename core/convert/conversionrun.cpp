#include "core/convert/conversionrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <limits>
#include <utility>

#include <sys/stat.h>

#include "core/base/version.h"
#include "core/cd/audiograbber.h"
#include "core/convert/audioinformation.h"
#include "core/convert/failurereason.h"
#include "core/convert/jobrows.h"
#include "core/convert/jobrules.h"
#include "core/convert/mediaprobe.h"
#include "core/convert/naming.h"
#include "core/convert/outputtag.h"
#include "core/convert/runloudness.h"

namespace Sveltra {

namespace {
// How long a cancelled encoder gets to clean up before it is killed.
constexpr int TerminateGraceMs = 3000;
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
    QProcess *process = nullptr;
    bool ended = false;
    QByteArray output;                       // the encoder's standard output not yet split into lines
    bool copied = false;                     // the encoder kept the source's MP3 frames instead of encoding
    std::optional<LoudnessReading> loudness; // of the output, from the encoder's loudness line
    BlockHistogram blocks;                   // of the output, from its loudness-blocks line
    QString input;                           // what the encoder reads (a ripped track's WAV)
    int percent = -1;                        // the progress reported last
    bool finishing = false;                  // its output is being tagged, checked and named

    // CD tracks: read into wavPath first, one track at a time, on a worker thread.
    QString cdDrive;
    int cdTrack = 0;
    QString wavPath;
    QThread *ripThread = nullptr;
    bool ripped = false;
    std::shared_ptr<std::atomic<bool>> abortRip;
};

ConversionRun::ConversionRun(Environment environment, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
{
    m_env.maxParallel = std::max(1, m_env.maxParallel);
    m_loudness = new RunLoudness(this);
}

void ConversionRun::removeMeasuredRips()
{
    for (const QString &wav : std::as_const(m_ripsMeasured))
        QFile::remove(wav);
    m_ripsMeasured.clear();
}

ConversionRun::~ConversionRun()
{
    // A run torn down mid-way (the program is closing) leaves no encoder and no rip behind.
    for (const auto &job : m_jobs) {
        if (job->ripThread) {
            job->abortRip->store(true);
            job->ripThread->disconnect(this);
            job->ripThread->wait();
            delete job->ripThread;
            job->ripThread = nullptr;
            QFile::remove(job->wavPath);
        }
        if (job->process && job->process->state() != QProcess::NotRunning) {
            job->process->disconnect(this);
            job->process->terminate();
            if (!job->process->waitForFinished(TerminateGraceMs))
                job->process->kill();
            job->process->waitForFinished(1000);
        }
    }
    // An output being named ends first; its result, queued to this run, is dropped with it.
    m_pool.waitForDone();
    // A rip of the measuring pass ends before its file is removed.
    delete m_loudness;
    m_loudness = nullptr;
    removeMeasuredRips();
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
    for (const auto &job : m_jobs) {
        if (job->abortRip)
            job->abortRip->store(true); // the rip stops within a second and leaves no file
        QProcess *process = job->process;
        if (!process || process->state() == QProcess::NotRunning)
            continue;
        // fastencc removes its unfinished output on SIGTERM; a hung one is killed.
        process->terminate();
        QTimer::singleShot(TerminateGraceMs, process, [process] {
            if (process->state() != QProcess::NotRunning)
                process->kill();
        });
    }
    // A CD track still waiting for the drive has neither a rip nor an encoder that could end
    // it, so it ends here (from the event loop, like every other job).
    QTimer::singleShot(0, this, &ConversionRun::endIdleJobs);
}

void ConversionRun::endIdleJobs()
{
    std::vector<Job *> idle;
    for (const auto &job : m_jobs) {
        if (!job->ended && !job->ripThread && !job->process)
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
    JobRows &rows = *m_env.rows;
    for (const int row : std::exchange(m_upToDate, {})) {
        const QString target = m_plan.find(row)->target.target;
        emit rowStarted(++m_ordinal, rows.cell(row, JobColumn::SourcePath) + rows.cell(row, JobColumn::Source), target);
        const QString sizeText = GetFileSizeText(target);
        rows.setCell(row, JobColumn::Target, target);
        rows.setCell(row, JobColumn::TargetSize, sizeText);
        rows.setStatus(row, JobStatus::Done);
        rows.setNote(row, UpToDateNote());
        const std::optional<qint64> ratio = RatioPercent(NumericValue(sizeText), NumericValue(rows.cell(row, JobColumn::Size)));
        if (ratio && *ratio != 0)
            rows.setCell(row, JobColumn::Ratio, RatioText(*ratio));
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
    if (raw->cdTrack > 0) {
        if (m_env.cdTagsFor)
            m_env.cdTagsFor(raw->cdDrive, raw->cdTrack, raw->CurrentTag);
        const QString measured = m_ripsMeasured.take(raw->row);
        if (!measured.isEmpty() && QFileInfo(measured).isFile()) {
            raw->wavPath = measured;
            raw->ripped = true;
            startEncoder(raw, measured);
            return;
        }
        raw->wavPath = m_env.tempBasePath + QStringLiteral("-%1.wav").arg(m_ordinal);
        raw->abortRip = std::make_shared<std::atomic<bool>>(false);
        startNextRip();
        return;
    }
    startEncoder(raw, raw->source);
}

void ConversionRun::startNextRip()
{
    if (m_ripping || m_cancelled)
        return;
    const auto waiting = std::find_if(m_jobs.begin(), m_jobs.end(),
                                      [](const auto &j) { return j->abortRip && !j->ripThread && !j->ripped && !j->ended; });
    if (waiting == m_jobs.end())
        return;
    Job *job = waiting->get();
    m_ripping = job;
    const QString drive = job->cdDrive;
    const int track = job->cdTrack;
    const QString wav = job->wavPath;
    const std::shared_ptr<std::atomic<bool>> abort = job->abortRip;
    const int row = job->row;
    job->ripThread = QThread::create([this, job, row, drive, track, wav, abort] {
        int shown = -1;
        const auto progress = [this, row, abort, &shown](int percent) {
            const int share = percent * RipShare / 100;
            if (share != shown) {
                shown = share;
                QMetaObject::invokeMethod(
                    this, [this, row, share] { emit rowProgress(row, share); }, Qt::QueuedConnection);
            }
            return !abort->load();
        };
        const RipResult result = RipTrackToWav(drive, track, wav, progress);
        const QString detail = result.ok
            ? QString()
            : (result.message.isEmpty() ? QStringLiteral("the track cannot be read") : result.message);
        QMetaObject::invokeMethod(
            this, [this, job, ok = result.ok, detail] { ripEnded(job, ok, detail); }, Qt::QueuedConnection);
    });
    job->ripThread->setObjectName(QStringLiteral("CD rip"));
    job->ripThread->start();
    updateMonitorState();
}

void ConversionRun::ripEnded(Job *job, bool ok, const QString &detail)
{
    job->ripThread->wait();
    job->ripThread->deleteLater();
    job->ripThread = nullptr;
    job->ripped = true;
    m_ripping = nullptr;
    if (!ok || m_cancelled) {
        QFile::remove(job->wavPath);
        finishJob(job, failure(CdReadFailedReason(), detail));
    } else {
        startEncoder(job, job->wavPath);
    }
    startNextRip();
    updateMonitorState();
}

void ConversionRun::startEncoder(Job *job, const QString &input)
{
    m_encoderCommand = EncoderCommandLine(m_env.encoderPath, input, job->target, m_plan.options);
    job->input = input;

    auto *process = new QProcess(this);
    job->process = process;
    process->setProgram(m_env.encoderPath);
    QStringList arguments = QStringList{input, job->work} + EncoderOptionList(m_plan.options);
    // In a run of several rows each encoder works on one thread: the cores go to several files
    // at once, and every row comes out the same however many run together. A run of one row
    // lets the encoder spread its file over every core.
    if (m_plan.queued() > 1)
        arguments << QStringLiteral("-1t");
    arguments += m_loudness->encoderArguments(job->row);
    process->setArguments(arguments);
    // Its messages in English whatever the user's language, so the run can tell them apart.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process->setProcessEnvironment(environment);
    const int base = job->cdTrack > 0 ? RipShare : 0;
    connect(process, &QProcess::readyReadStandardOutput, this, [this, job, base] { readEncoderOutput(job, base); });
    // Queued, so a job always ends from the event loop, never inside scheduleMore().
    connect(
        process, &QProcess::finished, this,
        [this, job, base](int exitCode, QProcess::ExitStatus status) {
            readEncoderOutput(job, base);
            const bool ok = status == QProcess::NormalExit && exitCode == 0;
            if (ok && !m_cancelled && m_loudness->encodeAgain(job->row, job->loudness, job->copied)) {
                job->process->deleteLater();
                job->loudness.reset();
                job->blocks = {};
                job->output.clear();
                startEncoder(job, job->input);
                return;
            }
            if (ok) {
                finishOutput(job);
                return;
            }
            QString detail = QString::fromUtf8(job->process->readAllStandardError()).trimmed();
            if (detail.isEmpty())
                detail = status == QProcess::CrashExit ? QStringLiteral("the encoder crashed")
                                                       : QStringLiteral("the encoder ended with exit code %1").arg(exitCode);
            finishJob(job, failure(EncoderFailureReason(exitCode, status == QProcess::CrashExit, detail), detail));
        },
        Qt::QueuedConnection);
    connect(
        process, &QProcess::errorOccurred, this,
        [this, job](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finishJob(job,
                          failure(EncoderNotStartedReason(),
                                  QStringLiteral("cannot start the encoder: ") + job->process->errorString()));
        },
        Qt::QueuedConnection);
    process->start();
    updateMonitorState();
}

void ConversionRun::readEncoderOutput(Job *job, int base)
{
    if (!job->process)
        return;
    job->output += job->process->readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end = job->output.indexOf('\n'); end >= 0; end = job->output.indexOf('\n', start)) {
        const QByteArray line = job->output.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.startsWith("progress ")) {
            bool ok = false;
            const int percent = line.mid(9).toInt(&ok);
            if (!ok || percent < 0 || percent > 100)
                continue;
            const int shown = base + percent * (100 - base) / 100;
            if (shown > job->percent) {
                job->percent = shown;
                emit rowProgress(job->row, shown);
            }
        } else if (line == "copied" || line.startsWith("copied ")) {
            job->copied = true;
        } else if (const auto loudness = ParseLoudnessLine(line)) {
            job->loudness = loudness;
            job->loudness->blocks = job->blocks;
        } else if (const auto blocks = ParseBlocksLine(line)) {
            job->blocks = *blocks;
            if (job->loudness)
                job->loudness->blocks = job->blocks;
        }
    }
    job->output.remove(0, start);
}

void ConversionRun::updateMonitorState()
{
    int state = 0;
    if (m_ripping)
        state = 2;
    else if (std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto &j) { return j->process && !j->ended; }))
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

void ConversionRun::finishOutput(Job *job)
{
    OutputToFinish output;
    output.work = job->work;
    output.target = job->target;
    output.parts = job->choice.parts;
    output.nameLimit = job->choice.nameLimit;
    output.copy = job->choice.copy;
    output.replaceEarlier = job->choice.replaceEarlier;
    output.tag = job->CurrentTag;
    output.copied = job->copied;
    if (job->loudness)
        output.encodedSeconds = job->loudness->seconds;
    const QString levelled = m_loudness->describe(job->row, job->loudness, job->copied, output.tag);
    job->CurrentTag = output.tag;
    // A CD track's length is the rip's; a file's is what its own header states.
    const QString source = job->cdTrack > 0 ? QString() : job->source;
    job->finishing = true;
    ++m_finishing;
    m_pool.start([this, job, output, source, levelled]() mutable {
        if (!source.isEmpty())
            output.sourceMs = ProbeDurationMs(source);
        FinishedOutput ended = FinishOutput(output);
        if (ended.outcome == RowOutcome::Converted && !levelled.isEmpty())
            ended.note = levelled;
        else if (ended.outcome == RowOutcome::Copied)
            ended.note = KeptAsItWasNote();
        QMetaObject::invokeMethod(
            this,
            [this, job, ended] {
                --m_finishing;
                finishJob(job, ended);
            },
            Qt::QueuedConnection);
    });
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
    if (recorded)
        recordOutcome(*job, ended);
    if (QFile::exists(m_env.tempBasePath))
        QFile::remove(m_env.tempBasePath);

    const int row = job->row;
    if (job->process)
        job->process->deleteLater();
    if (!job->wavPath.isEmpty())
        QFile::remove(job->wavPath);
    // A stopped or failed encoder removes its own unfinished file; a file it finished that is not
    // whole goes here (FinishOutput has removed it already when it failed).
    if (ended.outcome == RowOutcome::Failed && !job->work.isEmpty())
        QFile::remove(job->work);
    m_jobs.erase(it);
    if (recorded)
        emit rowFinished(row, ended.outcome);

    scheduleMore();
    updateMonitorState();
    checkDone();
}

void ConversionRun::recordOutcome(const Job &job, const FinishedOutput &ended)
{
    JobRows &rows = *m_env.rows;
    if (ended.outcome == RowOutcome::Failed) {
        // Nothing of this conversion is at the target (the output takes its name only when
        // whole), so whatever is there is not this run's: leave the row's cells alone.
        qWarning("Conversion of %s failed: %s", qPrintable(job.source), qPrintable(ended.detail));
        rows.setStatus(job.row, JobStatus::Failed);
        rows.setNote(job.row, ended.note);
        retagAlbum(m_loudness->ended(job.row, {}, std::nullopt));
        return;
    }
    if (ended.outcome == RowOutcome::Damaged)
        qWarning("The source %s is damaged: %s", qPrintable(job.source), qPrintable(ended.detail));
    const QString sizeText = GetFileSizeText(ended.target);
    rows.setCell(job.row, JobColumn::Target, ended.target);
    rows.setCell(job.row, JobColumn::TargetSize, sizeText);
    rows.setStatus(job.row, ended.outcome == RowOutcome::Damaged ? JobStatus::Damaged : JobStatus::Done);
    rows.setNote(job.row, ended.note);
    const std::optional<qint64> ratio = RatioPercent(NumericValue(sizeText), NumericValue(rows.cell(job.row, JobColumn::Size)));
    if (ratio && *ratio != 0)
        rows.setCell(job.row, JobColumn::Ratio, RatioText(*ratio));
    // The album's texts, once its last row is here, go into its files.
    retagAlbum(m_loudness->ended(job.row, ended.target, job.loudness));
}

void ConversionRun::retagAlbum(const QList<AlbumLedger::AlbumFile> &files)
{
    if (files.isEmpty())
        return;
    ++m_finishing;
    m_pool.start([this, files] {
        QList<QPair<int, QString>> failed; // row, reason
        for (const AlbumLedger::AlbumFile &file : files) {
            const QString reason = RetagOutput(file.target, file.texts);
            if (!reason.isEmpty())
                failed << qMakePair(file.row, reason);
        }
        QMetaObject::invokeMethod(
            this,
            [this, files, failed] {
                --m_finishing;
                JobRows &rows = *m_env.rows;
                for (const AlbumLedger::AlbumFile &file : files) {
                    // The texts change the file's size; the row shows the file as it is now.
                    if (rows.cell(file.row, JobColumn::Target) != file.target)
                        continue;
                    const QString size = GetFileSizeText(file.target);
                    rows.setCell(file.row, JobColumn::TargetSize, size);
                    const std::optional<qint64> ratio = RatioPercent(NumericValue(size),
                                                                     NumericValue(rows.cell(file.row, JobColumn::Size)));
                    if (ratio && *ratio != 0)
                        rows.setCell(file.row, JobColumn::Ratio, RatioText(*ratio));
                }
                // The file is whole with its own track's texts; the row says what is missing.
                for (const auto &[row, reason] : failed)
                    rows.setNote(row, reason);
                checkDone();
            },
            Qt::QueuedConnection);
    });
}

void ConversionRun::checkDone()
{
    if (m_done || !m_started || !m_jobs.empty() || !m_upToDate.empty() || m_finishing > 0)
        return;
    if (!m_cancelled && m_next < m_plan.queued())
        return;
    m_done = true;
    removeMeasuredRips();
    updateMonitorState();
    emit finished(m_cancelled);
}

} // namespace Sveltra
