#include "core/convert/loudnesssurvey.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace Sveltra {

LoudnessSurvey::LoudnessSurvey(QString encoderPath, QList<Item> items, int maxParallel, QObject *parent)
    : QObject(parent)
    , m_encoderPath(std::move(encoderPath))
    , m_items(std::move(items))
    , m_maxParallel(std::max(1, maxParallel))
{
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
    if (m_running == 0)
        QTimer::singleShot(0, this, [this] {
            if (!m_finished) {
                m_finished = true;
                emit finished();
            }
        });
}

void LoudnessSurvey::cancel()
{
    m_cancelled = true;
    for (QProcess *process : std::as_const(m_processes))
        process->kill(); // -measure writes nothing, so nothing is left behind
}

void LoudnessSurvey::startMore()
{
    while (!m_cancelled && m_running < m_maxParallel && m_next < m_items.size()) {
        const Item item = m_items[m_next++];
        auto *process = new QProcess(this);
        m_processes << process;
        ++m_running;
        QStringList arguments{QStringLiteral("-measure"), item.input};
        arguments += item.options;
        arguments << QStringLiteral("-1t");
        process->setProgram(m_encoderPath);
        process->setArguments(arguments);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process->setProcessEnvironment(environment);
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
        for (const QByteArray &line : process->readAllStandardOutput().split('\n')) {
            if (const auto parsed = ParseLoudnessLine(line))
                reading = parsed;
        }
        if (reading)
            emit measured(row, *reading);
        else
            qWarning("The encoder gave no loudness for row %d", row);
    }
    process->deleteLater();
    startMore();
    if (m_running == 0 && (m_cancelled || m_next >= m_items.size()) && !m_finished) {
        m_finished = true;
        emit finished();
    }
}

} // namespace Sveltra
