#include "core/convert/conversionrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <limits>

#include "core/base/version.h"
#include "core/cd/audiograbber.h"
#include "core/convert/audioinformation.h"
#include "core/convert/jobrows.h"
#include "core/convert/jobrules.h"
#include "core/convert/naming.h"

namespace Sveltra {

namespace {
// How long a cancelled encoder gets to clean up before it is killed.
constexpr int TerminateGraceMs = 3000;
} // namespace

// One conversion in flight. Owned by the run; lives on the run's thread.
struct ConversionRun::Job
{
    int row = -1;
    QString source;
    QString target;
    QString options;
    MediaTag CurrentTag; // what SetMP3Tag writes into this conversion's file
    QProcess *process = nullptr;
    bool ended = false;

    // CD tracks: read into wavPath first, one track at a time, on a worker thread.
    QString cdDrive;
    int cdTrack = 0;
    QString wavPath;
    QThread *ripThread = nullptr;
    bool ripped = false;
    std::shared_ptr<std::atomic<bool>> abortRip;
};

void SetMP3Tag(const QString &path, const MediaTag &tag)
{
    if (!QFile::exists(path))
        return;
    AudioInformation info;
    info.ClearTags(); // comment and genre of no other file end up here
    info.Title = tag.Title;
    info.Album = tag.Album;
    info.Artist = tag.Artist;
    const double year = NumericValue(tag.Year);
    info.Year = (year >= 0 && year <= std::numeric_limits<int>::max()) ? static_cast<int>(year) : 0;
    info.SoftwareNote = SoftwareNote();
    if (!info.WriteTags(path))
        qWarning("Cannot write the tag of %s: %s", qPrintable(path), qPrintable(info.lastError()));
}

ConversionRun::ConversionRun(Environment environment, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
{
    m_env.maxParallel = std::max(1, m_env.maxParallel);
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
}

void ConversionRun::start()
{
    if (m_started)
        return;
    m_started = true;
    m_rowsAtStart = m_env.rows->rowCount();
    for (int row = 0; row < m_rowsAtStart; ++row) {
        if (m_env.rows->status(row) == JobStatus::Queued)
            ++m_total;
    }
    emit started(m_total);
    scheduleMore();
    // With nothing to convert the run ends at once, but from the event loop.
    QTimer::singleShot(0, this, &ConversionRun::checkDone);
}

void ConversionRun::cancel()
{
    if (!m_started || m_done || m_cancelled)
        return;
    m_cancelled = true;
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
        finishJob(job, false, QString());
    checkDone();
}

void ConversionRun::scheduleMore()
{
    while (!m_cancelled && static_cast<int>(m_jobs.size()) < m_env.maxParallel && m_next < m_rowsAtStart) {
        const int row = m_next++;
        if (m_env.rows->status(row) == JobStatus::Queued)
            startRow(row);
    }
}

void ConversionRun::startRow(int row)
{
    JobRows &rows = *m_env.rows;
    ++m_ordinal;

    auto job = std::make_unique<Job>();
    job->row = row;
    const QString name = rows.cell(row, JobColumn::Source);
    job->source = rows.cell(row, JobColumn::SourcePath) + name;

    const QString folderText = m_env.outputFolder ? m_env.outputFolder() : QString();
    const QString folder = NormalizeOutputFolder(folderText);
    if (folder != folderText && m_env.setOutputFolder)
        m_env.setOutputFolder(folder);
    const int channel = m_env.channelChoice ? m_env.channelChoice() : 1;
    const int quality = m_env.qualityChoice ? m_env.qualityChoice() : 1;
    job->target = TargetPath(folder, OutputPrefix(channel, quality), name, rows.cell(row, JobColumn::Title));
    emit rowStarted(m_ordinal, job->source, job->target);

    job->CurrentTag = {rows.cell(row, JobColumn::Title).trimmed(), rows.cell(row, JobColumn::Album).trimmed(),
                       rows.cell(row, JobColumn::Artist).trimmed(), rows.cell(row, JobColumn::Year).trimmed()};

    job->options = BuildEncoderArgs(channel, quality);
    Job *raw = job.get();
    m_jobs.push_back(std::move(job));
    MediaConvert(raw);
}

void ConversionRun::MediaConvert(Job *raw)
{
    const QString name = GetFileName(raw->source);
    if (MediaType(name) == QLatin1String("CDA")) {
        QString driveFolder = raw->source.left(raw->source.size() - name.size());
        if (driveFolder.endsWith(QDir::separator()) && driveFolder.size() > 1)
            driveFolder.chop(1);
        raw->cdDrive = m_env.cdDriveFor ? m_env.cdDriveFor(driveFolder) : QString();
        raw->cdTrack = CdTrackNumber(raw->source);
        if (raw->cdDrive.isEmpty() || raw->cdTrack == 0) {
            // No drive holds the track: nothing is ripped or encoded. Ended from the event loop.
            QTimer::singleShot(0, this, [this, raw] { finishJob(raw, false, QStringLiteral("找不到 CD 驱动器或音轨")); });
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
    job->ripThread = QThread::create([this, job, drive, track, wav, abort] {
        const RipResult result = RipTrackToWav(drive, track, wav, [abort](int) { return !abort->load(); });
        const QString failure = result.ok ? QString()
                                          : (result.message.isEmpty() ? QStringLiteral("无法读取 CD 音轨") : result.message);
        QMetaObject::invokeMethod(
            this, [this, job, ok = result.ok, failure] { ripEnded(job, ok, failure); }, Qt::QueuedConnection);
    });
    job->ripThread->setObjectName(QStringLiteral("CD rip"));
    job->ripThread->start();
    updateMonitorState();
}

void ConversionRun::ripEnded(Job *job, bool ok, const QString &failure)
{
    job->ripThread->wait();
    job->ripThread->deleteLater();
    job->ripThread = nullptr;
    job->ripped = true;
    m_ripping = nullptr;
    if (!ok || m_cancelled) {
        QFile::remove(job->wavPath);
        finishJob(job, false, failure);
    } else {
        startEncoder(job, job->wavPath);
    }
    startNextRip();
    updateMonitorState();
}

void ConversionRun::startEncoder(Job *job, const QString &input)
{
    m_encoderCommand = EncoderCommandLine(m_env.encoderPath, input, job->target, job->options);

    auto *process = new QProcess(this);
    job->process = process;
    process->setProgram(m_env.encoderPath);
    QStringList arguments = QStringList{input, job->target} + EncoderOptionList(job->options);
    // With several encoders sharing the cores, each works on one thread: the same output, with
    // no handovers between a decoding and an encoding thread.
    if (m_env.maxParallel > 1)
        arguments << QStringLiteral("-1t");
    process->setArguments(arguments);
    process->setStandardOutputFile(QProcess::nullDevice());
    // Queued, so a job always ends from the event loop, never inside scheduleMore().
    connect(
        process, &QProcess::finished, this,
        [this, job](int exitCode, QProcess::ExitStatus status) {
            const bool ok = status == QProcess::NormalExit && exitCode == 0;
            QString failure;
            if (!ok) {
                failure = QString::fromUtf8(job->process->readAllStandardError()).trimmed();
                if (failure.isEmpty())
                    failure = status == QProcess::CrashExit ? QStringLiteral("编码器异常退出")
                                                            : QStringLiteral("编码器失败，退出码 %1").arg(exitCode);
            }
            finishJob(job, ok, failure);
        },
        Qt::QueuedConnection);
    connect(
        process, &QProcess::errorOccurred, this,
        [this, job](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finishJob(job, false, QStringLiteral("无法启动编码器: ") + job->process->errorString());
        },
        Qt::QueuedConnection);
    process->start();
    updateMonitorState();
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

void ConversionRun::finishJob(Job *job, bool encoderOk, const QString &failure)
{
    // A job may be ended from two queued events (a cancel and its own end); the second finds it
    // gone. Compare pointers only: a job that has gone is freed.
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [job](const auto &j) { return j.get() == job; });
    if (it == m_jobs.end() || job->ended)
        return;
    job->ended = true;

    // An encoder that finished its file before the stop reached it has done its row; a stopped
    // one leaves its row queued.
    const bool recorded = !m_cancelled || encoderOk;
    if (recorded)
        recordOutcome(*job, encoderOk, failure);
    if (QFile::exists(m_env.tempBasePath))
        QFile::remove(m_env.tempBasePath);

    const int row = job->row;
    if (job->process)
        job->process->deleteLater();
    if (!job->wavPath.isEmpty())
        QFile::remove(job->wavPath);
    m_jobs.erase(it);
    if (recorded)
        emit rowFinished(row, m_env.rows->status(row));

    scheduleMore();
    updateMonitorState();
    checkDone();
}

void ConversionRun::recordOutcome(const Job &job, bool encoderOk, const QString &failure)
{
    JobRows &rows = *m_env.rows;
    if (!encoderOk) {
        // A failed encoder never leaves a file at the target (it writes under a temporary
        // name), so whatever is there is not this conversion's: leave the row's cells alone.
        qWarning("Conversion of %s failed: %s", qPrintable(job.source), qPrintable(failure));
        rows.setStatus(job.row, JobStatus::Failed);
        rows.setNote(job.row, failure);
        return;
    }

    SetMP3Tag(job.target, job.CurrentTag);
    const QString sizeText = GetFileSizeText(job.target);
    rows.setCell(job.row, JobColumn::Target, job.target);
    rows.setCell(job.row, JobColumn::TargetSize, sizeText);
    const double targetSize = NumericValue(sizeText);
    rows.setStatus(job.row, targetSize > 0 ? JobStatus::Done : JobStatus::Failed);
    rows.setNote(job.row, targetSize > 0 ? QString() : QStringLiteral("没有生成输出文件"));
    const std::optional<qint64> ratio = RatioPercent(targetSize, NumericValue(rows.cell(job.row, JobColumn::Size)));
    if (ratio && *ratio != 0)
        rows.setCell(job.row, JobColumn::Ratio, RatioText(*ratio));
}

void ConversionRun::checkDone()
{
    if (m_done || !m_started || !m_jobs.empty())
        return;
    if (!m_cancelled && m_next < m_rowsAtStart)
        return;
    m_done = true;
    updateMonitorState();
    emit finished(m_cancelled);
}

} // namespace Sveltra
