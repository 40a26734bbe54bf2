#include "core/run/measuringrips.h"

#include <QFile>
#include <QtDebug>

#include "core/loudness/runloudness.h"
#include "core/run/runplan.h"
#include "core/run/trackripper.h"

namespace Sveltra {

MeasuringRips::MeasuringRips(TrackRipper *ripper, RunLoudness *loudness, QString tempBasePath, QObject *parent)
    : QObject(parent)
    , m_ripper(ripper)
    , m_loudness(loudness)
    , m_tempBasePath(std::move(tempBasePath))
{
    // A row's own rip ends the same way; only the rips started here are this stage's.
    connect(m_ripper, &TrackRipper::ripped, this, &MeasuringRips::ripped);
}

MeasuringRips::~MeasuringRips()
{
    removeAll();
}

void MeasuringRips::begin(const RunPlan &plan, bool level, const QString &encoderPath, int maxParallel)
{
    const QList<RunLoudness::Row> rows = LoudnessRows(
        plan, [this](int row) { return *m_files.insert(row, m_tempBasePath + QStringLiteral("-measured%1.wav").arg(row)); });
    m_loudness->begin(rows, level, encoderPath, maxParallel);
    for (const RunLoudness::Row &row : rows) {
        if (const PlannedRow *planned = plan.find(row.row); row.madeLater && planned) {
            m_sources.insert(row.row, planned->source);
            m_ripper->enqueue(row.row, planned->cdDrive, planned->cdTrack, row.source);
        }
    }
}

void MeasuringRips::ripped(int row, bool ok, const QString &detail)
{
    if (!m_sources.contains(row))
        return;
    const QString source = m_sources.take(row);
    if (!ok) {
        // The row's encoder rips the track again and tells the row when that fails too.
        qWarning("Cannot rip %s for measuring: %s", qPrintable(source), qPrintable(detail));
        QFile::remove(m_files.take(row));
    }
    m_loudness->inputMade(row, ok);
}

void MeasuringRips::removeAll()
{
    for (const QString &wav : std::as_const(m_files))
        QFile::remove(wav);
    m_files.clear();
}

} // namespace Sveltra
