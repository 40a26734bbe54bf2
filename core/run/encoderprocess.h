#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

#include "core/loudness/loudness.h"

class QProcess;

namespace Sveltra {

// One run of fastencc for one row: started with an argument list (never through a shell), its
// "progress N", "copied", loudness and blocks lines read as they come, its end told once. Lives
// on the run's thread; driven by the process's signals.
class EncoderProcess final : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QString program;       // the fastencc program
        QStringList arguments; // input, output and options
        int progressBase = 0;  // the share of the row already done (a CD track's rip)
    };

    explicit EncoderProcess(Request request, QObject *parent = nullptr);
    // A process still running is stopped and waited for (the program is closing).
    ~EncoderProcess() override;

    void start();
    // Asks the encoder to stop (it removes its unfinished output); one that hangs is killed.
    void stop();
    bool isRunning() const;

    bool copied() const { return m_copied; }
    // The output's loudness with its blocks; nullopt when the encoder printed none.
    std::optional<LoudnessReading> loudness() const;

signals:
    // How far the row has come, 0 to 100, growing only.
    void progress(int percent);
    // The encoder has ended: ok, or the reason the user reads (Chinese) and the log's detail.
    void finished(bool ok, const QString &reason, const QString &detail);

private:
    void readOutput();

    Request m_request;
    QProcess *m_process = nullptr;
    QByteArray m_pending; // standard output not yet split into lines
    int m_percent = -1;
    bool m_copied = false;
    bool m_ended = false;
    std::optional<LoudnessReading> m_loudness;
    BlockHistogram m_blocks;
};

} // namespace Sveltra
