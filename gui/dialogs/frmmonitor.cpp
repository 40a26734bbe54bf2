#include "gui/dialogs/frmmonitor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include "core/base/appstate.h"
#include "core/base/encoderprogram.h"
#include "core/base/tempfolder.h"
#include "core/joblist/celltexts.h"
#include "core/joblist/jobrows.h"
#include "core/output/naming.h"
#include "core/profile/profile.h"
#include "core/run/conversionrun.h"
#include "gui/platform/desktopbus.h"
#include "gui/skin/digitdisplay.h"
#include "gui/skin/imagelist.h"
#include "gui/skin/picturebutton.h"
#include "gui/skin/progresspicture.h"

namespace Sveltra {

int frmMonitor::ProgressValue = 0;
int frmMonitor::ArrowCount = 0;

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

frmMonitor::frmMonitor(Host host, QWidget *parent)
    : SkinnedWindow(QStringLiteral(":/monitor/background.png"), QSize(360, 220), parent)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(QStringLiteral("Sveltra"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/sveltra.png")));

    Label1 = makeLabel(this, "Label1", {134, 52, 208, 18});
    Label2 = makeLabel(this, "Label2", {134, 76, 208, 18});
    for (QLabel *label : {Label1, Label2}) {
        label->setStyleSheet(QStringLiteral("color: #1c2664; background: transparent;"));
        label->setTextFormat(Qt::PlainText);
    }
    Label1->setText(tr("源文件"));
    Label2->setText(tr("输出文件"));

    PicFile1 = makeLabel(this, "PicFile1", {140, 112, 42, 20});
    PicFile2 = makeLabel(this, "PicFile2", {278, 112, 42, 20});
    ProgressPic1 = makeLabel(this, "ProgressPic1", {36, 158, 288, 51});
    ProgressPic2 = makeLabel(this, "ProgressPic2", {36, 158, 288, 51});
    ProgressPic1->setAccessibleName(tr("进度"));
    ProgressPic2->setAccessibleName(tr("进度"));
    imgIcon = makeLabel(this, "imgIcon", {20, 56, 48, 48});
    imgIcon->setAccessibleName(tr("活动"));

    imgExit = new PictureButton(this);
    imgExit->setObjectName(QStringLiteral("imgExit"));
    imgExit->setGeometry(328, 8, 22, 22);
    imgExit->setPicture(QPixmap(QStringLiteral(":/monitor/exit.png")));
    imgExit->setPressedPicture(QPixmap(QStringLiteral(":/monitor/exit_down.png")));
    imgExit->setAccessibleName(tr("停止"));
    imgExit->setToolTip(tr("停止"));
    connect(imgExit, &PictureButton::clicked, this, &frmMonitor::imgExit_Click);
    // Escape stops the run as the exit picture does.
    auto *stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stop->setObjectName(QStringLiteral("stopShortcut"));
    connect(stop, &QShortcut::activated, this, &frmMonitor::imgExit_Click);

    // In the title strip, right of the window's name, clear of the panel and the sweep.
    lblProgress = new QProgressBar(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setGeometry(176, 11, 140, 18);
    lblProgress->setRange(0, 100);
    lblProgress->setValue(0);
    lblProgress->setFormat(ProgressText(0, std::nullopt));
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setAccessibleName(tr("总进度"));
    lblProgress->setAccessibleDescription(lblProgress->format());
    lblProgress->setStyleSheet(
        QStringLiteral("QProgressBar { color: #ffffff; background: #16204a; border: 1px solid #5b74c4; border-radius: 3px;"
                       " font-size: 11px; }"
                       "QProgressBar::chunk { background: #3a6fd8; border-radius: 2px; }"));

    Picture1 = DigitGlyphStrip();
    // Until the first new fill, the last strip lies under the first one being uncovered, so
    // the sweep runs on without a seam into picture 2.
    const QList<QPixmap> strips = ProgressPicture::SkinPictures();
    if (!strips.isEmpty()) {
        ProgressPic1->setPixmap(strips.last());
        ProgressPic2->setPixmap(strips.first());
        ProgressPic2->resize(0, ProgressPic2->height());
    }
    m_progress = std::make_unique<ProgressPicture>(ProgressPic1, ProgressPic2, strips,
                                                   std::make_unique<PicturesInOrder>(m_currentPicture),
                                                   ProgressPicture::Repaint::WholeWindow);

    // Loading: counters at "000", the main window out of the way, nothing running yet.
    DisplayDigital(PicFile1, QStringLiteral("000"));
    DisplayDigital(PicFile2, QStringLiteral("000"));
    if (m_host.mainWindow)
        m_host.mainWindow->hide();
    MonitorState = MonitorPhase::Idle;

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmMonitor::Timer1_Timer);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(300);
    connect(Timer3, &QTimer::timeout, this, &frmMonitor::Timer3_Timer);
    Timer1->start();
    Timer3->start();
}

frmMonitor::~frmMonitor()
{
    // The run goes first: it stops any rip that still writes into the temporary folder.
    delete m_run;
    m_run = nullptr;
    Form_Unload();
}

void frmMonitor::DisplayDigital(QLabel *display, const QString &text)
{
    Sveltra::DisplayDigital(display, text, Picture1);
}

bool frmMonitor::SetProgressPic(int percent)
{
    return m_progress->SetProgressPic(percent);
}

QString frmMonitor::EncoderCommand() const
{
    return m_run ? m_run->EncoderCommand() : QString();
}

void frmMonitor::Timer1_Timer()
{
    Timer1->stop();
    DietMediaFile();
}

void frmMonitor::DietMediaFile(int maxParallel)
{
    if (m_run)
        return;
    // Ripped tracks go to a folder of this run's own inside the temporary folder: names in the
    // shared temporary folder could be taken (or planted) by another user's program.
    m_tempDir = std::make_unique<OwnedTempFolder>();
    TempBasePath = m_tempDir->isValid() ? m_tempDir->path() : GetTempFolder();
    if (!TempBasePath.endsWith(QDir::separator()))
        TempBasePath += QDir::separator();
    TempBasePath += QStringLiteral("~sveltratmp");

    ConversionRun::Environment env;
    env.rows = m_host.rows;
    env.outputFolder = m_host.outputFolder;
    env.setOutputFolder = m_host.setOutputFolder;
    env.channelChoice = [] { return Profile::ChoiceNumber(App().ChannelChoice); };
    env.qualityChoice = [] { return Profile::ChoiceNumber(App().QualityChoice); };
    env.encoderPath = App().EncoderProgram.isEmpty() ? FindEncoderProgram() : App().EncoderProgram;
    env.tempBasePath = TempBasePath;
    env.cdDriveFor = m_host.cdDriveFor;
    env.cdTrackFacts = m_host.cdTrackFacts;
    env.level = App().Level;
    env.playlists = m_host.playlists;
    env.maxParallel = maxParallel > 0 ? maxParallel : std::max(1, QThread::idealThreadCount());

    m_run = new ConversionRun(std::move(env), this);
    connect(m_run, &ConversionRun::started, this, [this](int queued) {
        DisplayDigital(PicFile1, CounterText(queued));
        DisplayDigital(PicFile2, QStringLiteral("000"));
        if (m_host.rows)
            m_runProgress.begin(*m_host.rows);
        m_clock.start();
        showRunProgress();
    });
    connect(m_run, &ConversionRun::rowProgress, this, [this](int row, int percent) {
        m_runProgress.setRowPercent(row, percent);
        showRunProgress();
    });
    connect(m_run, &ConversionRun::rowFinished, this, [this](int row, RowOutcome outcome) {
        m_runProgress.finishRow(row);
        if (m_host.rows)
            m_summary.addFinishedRow(*m_host.rows, row, outcome);
        showRunProgress();
    });
    connect(m_run, &ConversionRun::rowStarted, this, [this](int ordinal, const QString &source, const QString &target) {
        DisplayDigital(PicFile2, CounterText(ordinal));
        Label1->setText(source);
        Label2->setText(target);
        Label1->setToolTip(source);
        Label2->setToolTip(target);
    });
    connect(m_run, &ConversionRun::monitorStateChanged, this, [this](MonitorPhase state) { MonitorState = state; });
    connect(m_run, &ConversionRun::finished, this, [this] {
        m_runFinished = true;
        m_summary.setQueuedAtStart(m_run->queuedAtStart());
        m_summary.playlistsWritten = m_run->playlists().written;
        m_summary.playlistProblems = m_run->playlists().problems;
        DesktopBus::SetLauncherProgress(m_runProgress.fraction(), false);
        m_launcherPercent = -1;
        if (m_host.runEnded) {
            const QWidget *active = QApplication::activeWindow();
            m_host.runEnded(m_summary, active && (active == this || active == m_host.mainWindow));
        }
        close();
    });
    m_run->start();
}

void frmMonitor::showRunProgress()
{
    if (!m_clock.isValid())
        return;
    const int percent = m_runProgress.percent();
    const QString text = ProgressText(percent, EstimateRemainingMs(m_runProgress.fraction(), m_clock.elapsed()));
    lblProgress->setValue(percent);
    if (text != lblProgress->format()) {
        lblProgress->setFormat(text);
        lblProgress->setAccessibleDescription(text);
    }
    if (percent != m_launcherPercent && !m_runFinished) {
        m_launcherPercent = percent;
        DesktopBus::SetLauncherProgress(m_runProgress.fraction(), true);
    }
}

void frmMonitor::Timer3_Timer()
{
    ProgressValue += 5;
    if (ProgressValue > 99)
        ProgressValue = 0;
    SetProgressPic(ProgressValue);

    setWindowTitle(QStringLiteral("Sveltra ") + QString(ArrowCount, QLatin1Char('>')));
    ++ArrowCount;
    if (ArrowCount > 4)
        ArrowCount = 1;
    imgIcon->setPixmap(
        ImageListPixmap(QStringLiteral("monitor/icons"), MonitorState == MonitorPhase::Encoding ? ArrowCount + 4 : ArrowCount));
    // The time left goes down between the encoders' reports too.
    showRunProgress();
}

void frmMonitor::imgExit_Click()
{
    if (m_run && !m_runFinished) {
        m_run->cancel();
        return;
    }
    close();
}

void frmMonitor::endBeforeStart()
{
    // Stopped before the run began (it starts a moment after the window shows): nothing was
    // converted, and the summary says so with every row still waiting.
    Timer1->stop();
    m_runFinished = true;
    if (!m_host.rows || !m_host.runEnded)
        return;
    int queued = 0;
    for (int row = 0; row < m_host.rows->rowCount(); ++row)
        queued += m_host.rows->status(row) == JobStatus::Queued ? 1 : 0;
    m_summary.setQueuedAtStart(queued);
    m_host.runEnded(m_summary, true);
}

void frmMonitor::closeEvent(QCloseEvent *event)
{
    // Closing the window while files convert is a cancel: the window goes once the encoders
    // have stopped.
    if (m_run && !m_runFinished) {
        event->ignore();
        imgExit_Click();
        return;
    }
    if (!m_run && !m_runFinished)
        endBeforeStart();
    Form_Unload();
    event->accept();
}

void frmMonitor::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Timer1->stop();
    Timer3->stop();
    // A window that goes before its run has ended takes its progress off the launcher too.
    if (m_launcherPercent >= 0) {
        DesktopBus::SetLauncherProgress(0.0, false);
        m_launcherPercent = -1;
    }
    if (m_host.mainWindow) {
        m_host.mainWindow->setEnabled(true);
        m_host.mainWindow->show();
    }
    emit unloaded();
}

} // namespace Sveltra
