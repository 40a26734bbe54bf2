#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace Sveltra {

// Rips the run's CD tracks into WAV files, one track at a time (a drive reads one place at once),
// each on a worker thread. Lives on the run's thread; tells progress and ends from its event loop.
class TrackRipper final : public QObject
{
    Q_OBJECT

public:
    explicit TrackRipper(QObject *parent = nullptr);
    // A rip under way is stopped and waited for; its unfinished file goes.
    ~TrackRipper() override;

    // Rips track of drive into wav once the tracks before it are done; key tells it in signals.
    void enqueue(int key, const QString &drive, int track, const QString &wav);
    // Drops the waiting rips (nothing is told of them) and stops the running one within a second
    // (told as failed).
    void cancel();
    // The key of the track being read, or -1.
    int current() const { return m_current; }

signals:
    void progress(int key, int percent);
    void ripped(int key, bool ok, const QString &detail);

private:
    struct Waiting
    {
        int key;
        QString drive;
        int track;
        QString wav;
    };
    void startNext();

    QList<Waiting> m_waiting;
    QThread *m_thread = nullptr;
    int m_current = -1;
    QString m_currentWav;
    std::shared_ptr<std::atomic<bool>> m_abort;
};

} // namespace Sveltra
