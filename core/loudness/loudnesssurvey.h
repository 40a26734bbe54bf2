#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

#include "core/loudness/loudness.h"

class QProcess;
class QThread;

namespace Sveltra {

// The measuring pass before a levelling run encodes anything: fastencc -measure on every source
// that needs it, as many at once as the run would encode (each on one thread), so an album's
// gain is known before its first track is encoded. Lives on the run's thread; driven by process
// signals.
class LoudnessSurvey final : public QObject
{
    Q_OBJECT

public:
    struct Item
    {
        int row = -1;
        QString input;
        QStringList options; // the profile's encoder options, so the input is measured as encoded
        // Makes the input first, on a worker thread, one item at a time (a CD track ripped to
        // input); false when it cannot (the row is then not measured). Stops early, returning
        // false, once abort is set. Empty when the input exists.
        std::function<bool(const std::atomic<bool> &abort)> prepare;
    };

    LoudnessSurvey(QString encoderPath, QList<Item> items, int maxParallel, QObject *parent = nullptr);
    ~LoudnessSurvey() override;

    // Starts measuring; finished() comes from the event loop, also when there is nothing to do.
    void start();
    // Stops every measurement; finished() follows once all have ended.
    void cancel();

signals:
    // A source's reading; a source that cannot be measured gives none (its row gets no gain).
    void measured(int row, const LoudnessReading &reading);
    void finished();

private:
    void startMore();
    void startPreparing();
    void ended(QProcess *process, int row);
    void finishIfDone();

    QString m_encoderPath;
    QList<Item> m_items;
    int m_maxParallel;
    QList<int> m_ready;      // items whose input exists, not yet measured
    QList<int> m_unprepared; // items whose input is still to be made
    QThread *m_preparing = nullptr;
    std::shared_ptr<std::atomic<bool>> m_abort = std::make_shared<std::atomic<bool>>(false);
    int m_running = 0;
    bool m_cancelled = false;
    bool m_finished = false;
    QList<QProcess *> m_processes;
};

} // namespace Sveltra
