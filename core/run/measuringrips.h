#pragma once

#include <QHash>
#include <QObject>
#include <QString>

namespace Sveltra {

class RunLoudness;
class TrackRipper;
struct RunPlan;

// The measuring pass's CD rips. With levelling, a CD's tracks are ripped before any is encoded
// (an album's gain needs every track), by the run's one ripper in disc order; each file is
// measured, then taken by its row's encoder instead of reading the disc again. Files no row took
// are removed when this goes. Lives on the run's thread.
class MeasuringRips final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MeasuringRips)

public:
    // Files are named after tempBasePath.
    MeasuringRips(TrackRipper *ripper, RunLoudness *loudness, QString tempBasePath, QObject *parent = nullptr);
    ~MeasuringRips() override;

    // Starts the loudness stage on the plan's rows, ripping the CD tracks it is to measure.
    void begin(const RunPlan &plan, bool level, const QString &encoderPath, int maxParallel);
    // The row's ripped file, now the row's to remove; empty when it has none.
    QString take(int row) { return m_files.take(row); }
    // Removes every file no row took.
    void removeAll();

private:
    void ripped(int row, bool ok, const QString &detail);

    TrackRipper *m_ripper;
    RunLoudness *m_loudness;
    QString m_tempBasePath;
    QHash<int, QString> m_files;   // row → its file, ripped or on its way
    QHash<int, QString> m_sources; // row → its track's path, for the log
};

} // namespace Sveltra
