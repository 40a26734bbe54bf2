#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/loudness/loudness.h"

class QProcess;

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
        // The input is still to be made (a CD track being ripped): it is measured once
        // inputMade says it is there.
        bool madeLater = false;
    };

    LoudnessSurvey(QString encoderPath, QList<Item> items, int maxParallel, QObject *parent = nullptr);
    ~LoudnessSurvey() override;

    // Starts measuring; finished() comes from the event loop, also when there is nothing to do.
    void start();
    // Stops every measurement; finished() follows once all have ended.
    void cancel();
    // The input of a row made later is there (ok) or cannot be made (the row is not measured).
    void inputMade(int row, bool ok);

signals:
    // A source's reading; a source that cannot be measured gives none (its row gets no gain).
    void measured(int row, const LoudnessReading &reading);
    void finished();

private:
    void startMore();
    void ended(QProcess *process, int row);
    void finishIfDone();

    QString m_encoderPath;
    QList<Item> m_items;
    int m_maxParallel;
    QList<int> m_ready;  // items whose input exists, not yet measured
    QList<int> m_unmade; // items whose input is still to be made
    int m_running = 0;
    bool m_cancelled = false;
    bool m_finished = false;
    QList<QProcess *> m_processes;
};

} // namespace Sveltra
