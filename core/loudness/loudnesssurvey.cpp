#include "core/loudness/loudnesssurvey.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

#include "core/base/encoderprogram.h"

namespace Sveltra {

LoudnessSurvey::LoudnessSurvey(QString encoderPath, QList<Item> items, int maxParallel, QObject *parent)
    : QObject(parent)
    , m_encoderPath(std::move(encoderPath))
    , m_items(std::move(items))
    , m_maxParallel(std::max(1, maxParallel))
{
    for (int i = 0; i < m_items.size(); ++i)
        (m_items[i].madeLater ? m_unmade : m_ready) << i;
}

LoudnessSurvey::~LoudnessSurvey()
{
    for (QProcess *process : std::as_const(m_processes)) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

void LoudnessSurvey::start()
{
    startMore();
    QTimer::singleShot(0, this, &LoudnessSurvey::finishIfDone);
}

void LoudnessSurvey::cancel()
{
    m_cancelled = true;
    for (QProcess *process : std::as_const(m_processes))
        process->kill(); // -measure writes nothing, so nothing is left behind
}

void LoudnessSurvey::finishIfDone()
{
    const bool left = !m_cancelled && (!m_ready.isEmpty() || !m_unmade.isEmpty());
    if (m_finished || m_running > 0 || left)
        return;
    m_finished = true;
    emit finished();
}

void LoudnessSurvey::inputMade(int row, bool ok)
{
    const auto it = std::find_if(m_unmade.begin(), m_unmade.end(), [&](int index) { return m_items[index].row == row; });
    if (it == m_unmade.end())
        return;
    const int index = *it;
    m_unmade.erase(it);
    if (ok && !m_cancelled)
        m_ready << index;
    else if (!ok)
        qWarning("The input of row %d could not be made for measuring", row);
    startMore();
    finishIfDone();
}

void LoudnessSurvey::startMore()
{
    while (!m_cancelled && m_running < m_maxParallel && !m_ready.isEmpty()) {
        const Item item = m_items[m_ready.takeFirst()];
        auto *process = new QProcess(this);
        m_processes << process;
        ++m_running;
        QStringList arguments{QStringLiteral("-measure"), item.input};
        arguments += item.options;
        arguments << QStringLiteral("-1t");
        process->setProgram(m_encoderPath);
        process->setArguments(arguments);
        process->setProcessEnvironment(EncoderEnvironment());
        process->setStandardErrorFile(QProcess::nullDevice());
        const int row = item.row;
        connect(
            process, &QProcess::finished, this, [this, process, row] { ended(process, row); }, Qt::QueuedConnection);
        connect(
            process, &QProcess::errorOccurred, this,
            [this, process, row](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart)
                    ended(process, row);
            },
            Qt::QueuedConnection);
        process->start();
    }
}

void LoudnessSurvey::ended(QProcess *process, int row)
{
    if (!m_processes.removeOne(process))
        return; // ended twice (failed to start, then finished)
    --m_running;
    if (!m_cancelled && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) {
        std::optional<LoudnessReading> reading;
        BlockHistogram blocks;
        for (const QByteArray &line : process->readAllStandardOutput().split('\n')) {
            if (const auto parsed = ParseLoudnessLine(line))
                reading = parsed;
            else if (const auto parsedBlocks = ParseBlocksLine(line))
                blocks = *parsedBlocks;
        }
        if (reading)
            reading->blocks = blocks;
        if (reading)
            emit measured(row, *reading);
        else
            qWarning("The encoder gave no loudness for row %d", row);
    }
    process->deleteLater();
    startMore();
    finishIfDone();
}

} // namespace Sveltra
