#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>

#include <functional>
#include <memory>

#include "core/cd/audiograbber.h"
#include "core/run/conversionrun.h"
#include "core/run/runprogress.h"
#include "core/run/runsummary.h"
#include "gui/skin/skinnedwindow.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace Sveltra {

class ConversionRun;
class JobRows;
class OwnedTempFolder;
class PictureButton;
class ProgressPicture;

// The progress window that stands in for the main window during a conversion run: source and
// target of the most recently started file, two LED counters, an endless progress sweep, an
// animated icon, a caption with a growing row of ">" marks, and the exit picture (or Escape)
// that stops the run. Beside the sweep, lblProgress shows the run's real share done and the
// time left, and the launcher entry shows the share too. Showing it hides the main window;
// closing it brings the main window back. One second after it is shown it starts the run.
// User-interface thread only.
class frmMonitor final : public SkinnedWindow
{
    Q_OBJECT

public:
    // What the window takes from the main window it stands in for.
    struct Host
    {
        QWidget *mainWindow = nullptr; // hidden while the run goes on
        JobRows *rows = nullptr;       // the job list
        // The output folder box, read for every row; a missing separator is added to it.
        std::function<QString()> outputFolder;
        std::function<void(const QString &)> setOutputFolder;
        // The CD drive whose name is a track path's folder, or empty.
        std::function<QString(const QString &folder)> cdDriveFor;
        // Adds what the disc's lookup knows of a CD track (drive, track number) to its tag.
        std::function<CdTrackFacts(const QString &drive, int track)> cdTrackFacts;
        // Whether the run leaves play lists beside its outputs (not a sync's conversions).
        bool playlists = false;
        // The run has ended (finished or stopped), before the window closes: what it did, and
        // whether one of the program's windows was the active window at that moment.
        std::function<void(const RunSummary &summary, bool inFront)> runEnded;
    };

    explicit frmMonitor(Host host, QWidget *parent = nullptr);
    ~frmMonitor() override;

    // The run over the job list: started by Timer1, it returns at once and ends the window
    // from the run's own finished signal. Up to maxParallel files convert at once; 0 means
    // one per processor core.
    void DietMediaFile(int maxParallel = 0);
    // Draws a counter or any readout text from the glyph strip Picture1.
    void DisplayDigital(QLabel *display, const QString &text);
    // The progress sweep (0 starts a new picture, 1 to 100 uncover it); true when out of range.
    bool SetProgressPic(int percent);
    // Asks the run to stop: every running encoder ends, its rows stay queued.
    void imgExit_Click();
    // The main window is going (the program ends): it is not shown again when this one closes.
    void releaseMainWindow() { m_host.mainWindow = nullptr; }

    // The command line of the most recently started conversion (for display).
    QString EncoderCommand() const;
    bool isRunFinished() const { return m_runFinished; }

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *PicFile1 = nullptr;
    QLabel *PicFile2 = nullptr;
    QLabel *ProgressPic1 = nullptr;
    QLabel *ProgressPic2 = nullptr;
    QLabel *imgIcon = nullptr;
    PictureButton *imgExit = nullptr;
    // The run's share done, weighted by play time, with the time left as its text.
    QProgressBar *lblProgress = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer3 = nullptr;
    QImage Picture1; // the glyph strip

    // What the animation shows: idle, ripping a CD track, or encoding.
    MonitorPhase MonitorState = MonitorPhase::Idle;
    QString TempBasePath;

    // Animation counters that go on from one run to the next.
    static int ProgressValue;
    static int ArrowCount;

signals:
    // The window has closed and the main window is back.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1_Timer();
    void Timer3_Timer();
    void Form_Unload();
    // Ends a window stopped before its run began: the summary with every row still waiting.
    void endBeforeStart();
    // Shows the run's share done and the time left, on the window and the launcher entry.
    void showRunProgress();

    Host m_host;
    std::unique_ptr<ProgressPicture> m_progress;
    int m_currentPicture = 0; // the progress picture shown last; 0 for a new window
    ConversionRun *m_run = nullptr;
    std::unique_ptr<OwnedTempFolder> m_tempDir; // holds ripped tracks until they are encoded
    bool m_runFinished = false;
    RunProgress m_runProgress;
    RunSummary m_summary;
    QElapsedTimer m_clock;      // since the run started
    int m_launcherPercent = -1; // the share sent to the launcher entry last
    bool m_unloaded = false;
};

} // namespace Sveltra
