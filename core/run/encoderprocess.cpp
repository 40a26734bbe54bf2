#include "core/run/encoderprocess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "core/base/encoderprogram.h"
#include "core/output/failurereason.h"

namespace Sveltra {

namespace {
// How long a stopped encoder gets to clean up before it is killed.
constexpr int TerminateGraceMs = 3000;
} // namespace

EncoderProcess::EncoderProcess(Request request, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
{
}

EncoderProcess::~EncoderProcess()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        m_process->terminate();
        if (!m_process->waitForFinished(TerminateGraceMs))
            m_process->kill();
        m_process->waitForFinished(1000);
    }
}

void EncoderProcess::start()
{
    m_process = new QProcess(this);
    m_process->setProgram(m_request.program);
    m_process->setArguments(m_request.arguments);
    m_process->setProcessEnvironment(EncoderEnvironment());
    connect(m_process, &QProcess::readyReadStandardOutput, this, &EncoderProcess::readOutput);
    // Queued, so the end is always told from the event loop.
    connect(
        m_process, &QProcess::finished, this,
        [this](int exitCode, QProcess::ExitStatus status) {
            if (m_ended)
                return;
            m_ended = true;
            readOutput();
            if (status == QProcess::NormalExit && exitCode == 0) {
                emit finished(true, {}, {});
                return;
            }
            QString detail = QString::fromUtf8(m_process->readAllStandardError()).trimmed();
            if (detail.isEmpty())
                detail = status == QProcess::CrashExit ? QStringLiteral("the encoder crashed")
                                                       : QStringLiteral("the encoder ended with exit code %1").arg(exitCode);
            emit finished(false, EncoderFailureReason(exitCode, status == QProcess::CrashExit, detail), detail);
        },
        Qt::QueuedConnection);
    connect(
        m_process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart || m_ended)
                return;
            m_ended = true;
            emit finished(false, EncoderNotStartedReason(),
                          QStringLiteral("cannot start the encoder: ") + m_process->errorString());
        },
        Qt::QueuedConnection);
    m_process->start();
}

void EncoderProcess::stop()
{
    if (!isRunning())
        return;
    // fastencc removes its unfinished output on SIGTERM; a hung one is killed.
    m_process->terminate();
    QTimer::singleShot(TerminateGraceMs, m_process, [process = m_process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
}

bool EncoderProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

std::optional<LoudnessReading> EncoderProcess::loudness() const
{
    std::optional<LoudnessReading> reading = m_loudness;
    if (reading)
        reading->blocks = m_blocks;
    return reading;
}

void EncoderProcess::readOutput()
{
    m_pending += m_process->readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n', start)) {
        const QByteArray line = m_pending.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.startsWith("progress ")) {
            bool ok = false;
            const int percent = line.mid(9).toInt(&ok);
            if (!ok || percent < 0 || percent > 100)
                continue;
            const int base = m_request.progressBase;
            const int shown = base + percent * (100 - base) / 100;
            if (shown > m_percent) {
                m_percent = shown;
                emit progress(shown);
            }
        } else if (line == "copied" || line.startsWith("copied ")) {
            m_copied = true;
        } else if (const auto reading = ParseLoudnessLine(line)) {
            m_loudness = reading;
        } else if (const auto blocks = ParseBlocksLine(line)) {
            m_blocks = *blocks;
        }
    }
    m_pending.remove(0, start);
}

} // namespace Sveltra
