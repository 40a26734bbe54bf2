#include "gui/mainwindow/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtDebug>

#include <exception>
#include <optional>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/base/tempfolder.h"
#include "core/base/version.h"
#include "core/base/website.h"
#include "core/cd/audiograbber.h"
#include "core/layout/layout.h"
#include "core/media/audioinformation.h"
#include "core/media/mediatag.h"
#include "core/run/runpreflight.h"
#include "core/run/runsummary.h"
#include "core/settings/settings.h"
#include "core/sync/syncexecute.h"
#include "gui/dialogs/frmabout.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/dialogs/frmoption.h"
#include "gui/dialogs/frmstartup.h"
#include "gui/dialogs/frmsync.h"
#include "gui/dialogs/frmupdate.h"
#include "gui/mainwindow/cdtracklisting.h"
#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/joblist.h"
#include "gui/mainwindow/joblistmenu.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/mainwindow/windowareas.h"
#include "gui/platform/desktopbus.h"
#include "gui/platform/publicfunctions.h"
#include "gui/skin/splitbar.h"

namespace Sveltra {

namespace {

// Runs one step of loading or unloading; a step that fails is reported and skipped.
template <typename Step>
void guarded(const char *name, Step &&step)
{
    try {
        step();
    } catch (const std::exception &e) {
        qWarning("Main window: step '%s' failed: %s", name, e.what());
    } catch (...) {
        qWarning("Main window: step '%s' failed", name);
    }
}

} // namespace

Form1::Form1(SettingsFile &settings, InstanceGuard &guard, frmStartUp *splash, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
    , m_guard(guard)
    , m_splash(splash)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/sveltra.png")));

    createMenus();
    Toolbar1 = new MainToolbar(this);
    addToolBar(Toolbar1);
    connect(Toolbar1, &MainToolbar::buttonClicked, this, &Form1::Toolbar1_ButtonClick);
    setContextMenuPolicy(Qt::NoContextMenu); // no menu that would hide the toolbar
    mnuHelp->setShortcut(QKeySequence::HelpContents);
    mnuExit->setShortcut(QKeySequence::Quit);

    tbStatus = new StatusBar(this);
    tbStatus->setAccessibleName(tr("状态栏"));
    setStatusBar(tbStatus);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainArea"));
    setCentralWidget(central);

    AudioInformation1 = new AudioInformation;
    ListView1 = new JobList(*AudioInformation1, central);
    connect(ListView1, &JobList::statusMessage, this, &Form1::ShowStatusMessage);
    connect(ListView1, &JobList::addSelectionRequested, this, &Form1::AddSelectedFiles);
    m_listMenu = new JobListMenu(
        ListView1, [this] { RemoveSelected(); }, [this](const QString &m) { ShowStatusMessage(m); });
    m_desktop = new DesktopBus(this);
    connect(m_desktop, &DesktopBus::actionInvoked, this, &Form1::OpenOutputFolder);
    AudioGrabber1 = new AudioGrabber(this);
    cdTracks = new CdTrackListing(
        *AudioGrabber1, *ListView1, [this](const QString &m) { ShowStatusMessage(m); }, this);
    connect(ListView1, &JobList::cdTrackRequested, cdTracks, &CdTrackListing::AddCdTrack);

    createBrowser(central);
    XListView1->setVirtualFolderProvider(cdTracks);
    XTreeView1->setVirtualFolderProvider(cdTracks);
    connect(cdTracks, &CdTrackListing::rootFoldersChanged, XTreeView1, &FolderTreeView::refreshVirtualFolders);
    createOutputBar(central);
    m_areas = new WindowAreas(*this, *Toolbar1, {XTreeView1, tbFormat, cbFormat, XListView1, ListView1, Picture1});
    SplitH = m_areas->splitH();
    SplitV = m_areas->splitV();
    setKeyboardOrder();

    // The designed client area; the menu bar lies outside it.
    resize(Layout::ToPixels(Layout::DesignedClientWidth),
           Layout::ToPixels(Layout::DesignedClientHeight) + menuBar()->sizeHint().height());
}

Form1::~Form1()
{
    // The terminate step: released without having been unloaded.
    if (m_loaded && !m_unloaded)
        saveSettings();
    delete m_monitor;
    delete AudioInformation1;
}

void Form1::createMenus()
{
    auto addEntry = [this](QMenu *menu, const QString &name, const QString &caption, void (Form1::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    mnuFile = menuBar()->addMenu(tr("文件(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuAdd = addEntry(mnuFile, QStringLiteral("mnuAdd"), tr("添加项目"), &Form1::AddSelectedFiles);
    mnuRemove = addEntry(mnuFile, QStringLiteral("mnuRemove"), tr("移除项目"), &Form1::RemoveSelected);
    mnuRemoveAll = addEntry(mnuFile, QStringLiteral("mnuRemoveAll"), tr("清除所有项目"), &Form1::RemoveAll);
    mnuExit = addEntry(mnuFile, QStringLiteral("mnuExit"), tr("退出"), &Form1::mnuExit_Click);

    mnuAction = menuBar()->addMenu(tr("操作(&A)"));
    mnuAction->setObjectName(QStringLiteral("mnuAction"));
    mnuDiet = addEntry(mnuAction, QStringLiteral("mnuDiet"), tr("开始压缩"), &Form1::StartDiet);
    mnuOpenOutput = addEntry(mnuAction, QStringLiteral("mnuOpenOutput"), tr("打开输出文件夹"), &Form1::OpenOutputFolder);
    mnuSync = addEntry(mnuAction, QStringLiteral("mnuSync"), tr("同步到播放器…"), &Form1::ShowSync);
    // Levelling is a setting: checked while on, kept in the settings file, read by each run.
    mnuLevel = mnuAction->addAction(tr("音量均衡"));
    mnuLevel->setObjectName(QStringLiteral("mnuLevel"));
    mnuLevel->setCheckable(true);
    connect(mnuLevel, &QAction::toggled, this, [](bool on) { App().Level = on; });
    connect(mnuAction, &QMenu::aboutToShow, this, [this] { mnuLevel->setChecked(App().Level); });
    mnuCheck = addEntry(mnuAction, QStringLiteral("mnuCheck"), tr("检查新版本"), &Form1::mnuCheck_Click);

    mnuOptions = menuBar()->addMenu(tr("选项(&O)"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOption = addEntry(mnuOptions, QStringLiteral("mnuOption"), tr("程序设置"), &Form1::ShowOptions);
    mnuLayout = addEntry(mnuOptions, QStringLiteral("mnuLayout"), tr("界面转换"), &Form1::ButtonLayout);
    mnuOutput = addEntry(mnuOptions, QStringLiteral("mnuOutput"), tr("输出路径"), &Form1::BrowseOutput);

    mnuHlp = menuBar()->addMenu(tr("帮助(&H)"));
    mnuHlp->setObjectName(QStringLiteral("mnuHlp"));
    mnuHelp = addEntry(mnuHlp, QStringLiteral("mnuHelp"), tr("帮助"), &Form1::mnuHelp_Click);
    mnuSupport = addEntry(mnuHlp, QStringLiteral("mnuSupport"), tr("技术支持"), &Form1::mnuSupport_Click);
    mnuAbout = addEntry(mnuHlp, QStringLiteral("mnuAbout"), tr("关于"), &Form1::mnuAbout_Click);
}

void Form1::createBrowser(QWidget *area)
{
    XTreeView1 = new FolderTreeView(area);
    XListView1 = new FileListView(area);
    connect(XListView1, &FileListView::ItemActivated, this, &Form1::XListView1_ItemActivated);

    tbFormat = new FormatBar(area);
    cbFormat = tbFormat->combo();
    connect(cbFormat, &QComboBox::editTextChanged, this, &Form1::cbFormat_Change);
    connect(cbFormat, &QComboBox::activated, this, [this] { cbFormat_Click(); });
    connect(tbFormat, &FormatBar::buttonClicked, this, &Form1::tbFormat_ButtonClick);
}

void Form1::createOutputBar(QWidget *area)
{
    Picture1 = new OutputBar(area);
    Command1 = Picture1->browseButton();
    txtOutput = Picture1->textBox();
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(txtOutput, &QLineEdit::textChanged, this, &Form1::txtOutput_Change);
}

void Form1::setKeyboardOrder()
{
    // Tab walks the working areas as the eye reads them in either arrangement; the toolbar
    // comes before them, the splitter bars after.
    QList<QWidget *> order = {XTreeView1};
    for (QAbstractButton *button : tbFormat->buttons())
        order << button;
    order << cbFormat << XListView1 << ListView1 << Command1 << txtOutput << SplitH << SplitV;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

Form1::LoadResult Form1::Form_Load()
{
    guarded("caption", [this] { setWindowTitle(CaptionPrefix() + VersionText()); });
    guarded("state", [this] {
        m_areas->reset();
        App().LastLookupDrive = 0;
    });

    // Another copy is running: refuse, and end without touching anything.
    if (!m_guard.acquire()) {
        if (m_splash)
            m_splash->hide();
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), SecondCopyMessage(), QMessageBox::Ok);
        box.setObjectName(QStringLiteral("SecondCopyMessage"));
        box.exec();
        return LoadResult::SecondCopy;
    }

    // The only copy now: what a copy killed during a run left in the temporary folder goes.
    guarded("stale temporary folders", [] { RemoveStaleTempFolders(); });
    guarded("initial sizes", [this] { m_areas->setInitialSizes(); });
    guarded("InitForm", [this] { InitForm(); });
    guarded("LoadSettings", [this] {
        m_settings.LoadSettings(App());
        mnuLevel->setChecked(App().Level);
    });
    guarded("cbFormat", [this] {
        cbFormat->clear();
        cbFormat->addItems(FormatPatterns());
        cbFormat->setEditText(QStringLiteral("*.*"));
    });
    guarded("FilePattern", [this] { XListView1->setFilePattern(cbFormat->currentText()); });
    guarded("LinkedFileView", [this] { XTreeView1->setLinkedFileView(XListView1); });
    guarded("FolderPath", [this] { XListView1->setFolderPath(App().SourceFolder); });
    guarded("txtOutput", [this] { txtOutput->setText(App().TargetFolder); });
    guarded("RefreshStatusBar", [this] { RefreshStatusBar(); });
    guarded("hide splash", [this] {
        if (m_splash)
            m_splash->hide();
    });
    guarded("help file", [] {
        App().HelpFile = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QLatin1Char('/') + HelpFileName());
    });
    guarded("RefreshCDInfo", [this] { RefreshCDInfo(); });

    m_loaded = true;
    return LoadResult::Loaded;
}

void Form1::InitForm()
{
    m_areas->InitForm();
}

void Form1::Form_Resize()
{
    m_areas->Form_Resize();
}

void Form1::RestoreWindowState()
{
    guarded("window state", [this] {
        if (!m_areas->restoreState(SettingsFile::WindowStatePath(m_settings.path())))
            m_areas->sizeToScreen();
    });
}

int Form1::arrangement() const
{
    return m_areas->arrangement();
}

int Form1::dragState() const
{
    return m_areas->dragState();
}

void Form1::RefreshStatusBar()
{
    tbStatus->RefreshStatusBar(App());
}

void Form1::ShowStatusMessage(const QString &message)
{
    tbStatus->ShowStatusMessage(message);
}

void Form1::Toolbar1_ButtonClick(const QString &key)
{
    // Compared in this order, exactly (letter case counts).
    if (key == QLatin1String("Add"))
        AddSelectedFiles();
    else if (key == QLatin1String("Remove"))
        RemoveSelected();
    else if (key == QLatin1String("Clear"))
        RemoveAll();
    else if (key == QLatin1String("Output"))
        BrowseOutput();
    else if (key == QLatin1String("Options"))
        ShowOptions();
    else if (key == QLatin1String("Diet"))
        StartDiet();
    else if (key == QLatin1String("layout"))
        ButtonLayout();
    else if (key == QLatin1String("refresh"))
        RefreshCDInfo();
}

void Form1::AddSelectedFiles()
{
    // In the list's order; each file meets the duplicate test and the media check on its own. A
    // folder adds the audio files inside it and its sub-folders, as a drop of it does.
    QStringList paths;
    for (auto item = XListView1->FirstSelected(); item; item = XListView1->NextSelected()) {
        if (!item->isFolder() || QFileInfo(item->Path()).isDir())
            paths << item->Path();
    }
    ListView1->AddMediaFiles(paths, true);
}

void Form1::AddMediaFile(const QString &path)
{
    ListView1->AddMediaFile(path);
}

void Form1::AddMediaFiles(const QStringList &paths)
{
    ListView1->AddMediaFiles(paths);
}

void Form1::cbFormat_Change(const QString &)
{
    XListView1->setFilePattern(cbFormat->currentText());
}

void Form1::cbFormat_Click()
{
    XListView1->setFilePattern(cbFormat->currentText());
}

void Form1::tbFormat_ButtonClick(const QString &key)
{
    if (const std::optional<QString> pattern = PatternForFormatKey(key))
        cbFormat->setEditText(*pattern);
    cbFormat_Click();
}

void Form1::txtOutput_Change(const QString &text)
{
    App().TargetFolder = text;
}

void Form1::Command1_Click()
{
    BrowseOutput();
}

void Form1::XListView1_ItemActivated(const FileItem &)
{
    // What is added is the whole selection, not only the item opened.
    if (XListView1->FirstSelected())
        AddSelectedFiles();
}

void Form1::RemoveSelected()
{
    ListView1->RemoveSelected();
}

void Form1::RemoveAll()
{
    ListView1->RemoveAll();
}

void Form1::BrowseOutput()
{
    const QString folder = BrowseForFolder(this, tr("请选择一个文件夹。"), txtOutput->text());
    if (folder.isEmpty())
        return;
    txtOutput->setText(folder);
    txtOutput->setToolTip(folder);
}

void Form1::ButtonLayout()
{
    m_areas->ButtonLayout();
}

void Form1::ShowOptions()
{
    m_option.show([this] { return new frmOption([this] { RefreshStatusBar(); }); });
    RefreshStatusBar();
}

frmMonitor *Form1::monitorWindow() const
{
    return m_monitor;
}

void Form1::StartDiet()
{
    if (m_monitor) {
        m_monitor->show();
        m_monitor->raise();
        m_monitor->activateWindow();
        return;
    }
    // Nothing queued, or an output folder that cannot take the files: one message, no row touched.
    const QString problem = RunPreflight(*ListView1, txtOutput->text());
    if (!problem.isEmpty()) {
        qWarning("The run does not start: %s", qPrintable(problem));
        QMessageBox::information(this, ApplicationTitle(), problem);
        return;
    }
    frmMonitor::Host host;
    host.mainWindow = this;
    host.rows = ListView1;
    // The box's change handler keeps TargetFolder equal to it.
    host.outputFolder = [this] { return txtOutput->text(); };
    host.setOutputFolder = [this](const QString &text) { txtOutput->setText(text); };
    host.cdDriveFor = [this](const QString &folder) { return cdTracks->DriveFor(folder); };
    host.cdTrackFacts = [this](const QString &drive, int track) { return AudioGrabber1->TrackFacts(drive, track); };
    host.playlists = true;
    host.runEnded = [this](const RunSummary &summary, bool inFront) { runEnded(summary, inFront); };
    m_monitor = new frmMonitor(std::move(host));
    m_monitor->show();
}

void Form1::runEnded(const RunSummary &summary, bool inFront)
{
    const QString text = RunSummaryText(summary);
    ShowStatusMessage(text);
    if (!inFront)
        m_desktop->notify(summary.failed > 0 ? tr("压缩结束") : tr("压缩完成"), text, tr("打开输出文件夹"));
    showProblems(QStringLiteral("RunProblems"), text, summary.playlistProblems, inFront);
}

void Form1::showProblems(const QString &name, const QString &text, const QStringList &problems, bool inFront)
{
    // Once the progress window has gone and this window is back.
    QTimer::singleShot(0, this, [this, name, text, problems, inFront] {
        if (!inFront)
            QApplication::alert(this);
        if (problems.isEmpty())
            return;
        QMessageBox box(QMessageBox::Warning, ApplicationTitle(), text, QMessageBox::Ok, this);
        box.setObjectName(name);
        box.setDetailedText(problems.join(QLatin1Char('\n')));
        box.setInformativeText(problems.mid(0, 5).join(QLatin1Char('\n')));
        box.exec();
    });
}

struct Form1::SyncSession
{
    explicit SyncSession(const SyncPlan &p)
        : plan(p)
        , rows(p)
    {
    }
    SyncPlan plan;
    SyncRows rows;
    SyncResult result;
};

void Form1::ShowSync()
{
    if (m_monitor) {
        m_monitor->show();
        m_monitor->raise();
        m_monitor->activateWindow();
        return;
    }
    if (auto *open = findChild<frmSync *>(QString(), Qt::FindDirectChildrenOnly)) {
        open->raise();
        open->activateWindow();
        return;
    }
    frmSync::Host host;
    host.library = App().SyncLibrary;
    host.player = App().SyncPlayer;
    host.qualityChoice = App().QualityChoice;
    host.channelChoice = App().ChannelChoice;
    host.levelled = App().Level;
    host.rememberFolders = [](const QString &library, const QString &player) {
        App().SyncLibrary = library;
        App().SyncPlayer = player;
    };
    host.start = [this](const SyncPlan &plan) { StartSync(plan); };
    auto *window = new frmSync(std::move(host), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open();
}

void Form1::StartSync(const SyncPlan &plan)
{
    if (m_monitor || !plan.refusal.isEmpty())
        return;
    m_sync = std::make_unique<SyncSession>(plan);
    ApplyFileChanges(m_sync->plan, m_sync->result);
    if (m_sync->rows.rowCount() == 0) {
        syncEnded(nullptr, true);
        return;
    }
    frmMonitor::Host host;
    host.mainWindow = this;
    host.rows = &m_sync->rows;
    const QString folder = plan.player + QLatin1Char('/');
    host.outputFolder = [folder] { return folder; };
    host.cdDriveFor = [](const QString &) { return QString(); };
    host.runEnded = [this](const RunSummary &summary, bool inFront) { syncEnded(&summary, inFront); };
    m_monitor = new frmMonitor(std::move(host));
    m_monitor->show();
}

void Form1::syncEnded(const RunSummary *summary, bool inFront)
{
    if (!m_sync)
        return;
    FinishSync(m_sync->plan, m_sync->rows, m_sync->result);
    const QString text = SyncResultText(m_sync->result);
    ShowStatusMessage(summary ? RunSummaryText(*summary) + QStringLiteral("  ") + text : text);
    if (!inFront)
        m_desktop->notify(m_sync->result.failed > 0 ? tr("同步结束") : tr("同步完成"), text);
    showProblems(QStringLiteral("SyncProblems"), text, m_sync->result.problems, inFront);
}

void Form1::OpenOutputFolder()
{
    const QString folder = txtOutput->text();
    if (OpenLocalPath(folder))
        return;
    qWarning("Cannot open the output folder '%s'", qPrintable(folder));
    ShowStatusMessage(QFileInfo(folder).isDir() ? tr("无法打开输出文件夹") : tr("输出文件夹不存在"));
}

void Form1::RefreshCDInfo()
{
    cdTracks->RefreshCDInfo();
}

void Form1::mnuCheck_Click()
{
    // Opening it again while it is open brings it forward without a second check.
    m_update.show([] {
        auto *window = new frmUpdate();
        connect(window, &frmUpdate::helpRequested, window, [](const QString &topic) { HelpWindow::ShowTopic(topic); });
        return window;
    });
}

void Form1::mnuHelp_Click()
{
    HelpWindow::ShowTopic();
}

void Form1::mnuSupport_Click()
{
    OpenUrl(SupportPageUrl());
}

void Form1::mnuAbout_Click()
{
    // The About box disables this window itself while it is open.
    m_about.show([this] { return new frmAbout(this); });
}

void Form1::mnuExit_Click()
{
    close();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closed while the progress window stands in for this one (the session ends, the window
    // list closes it while hidden): the run stops, and the program ends once the encoders have.
    if (m_monitor && m_monitor->isVisible()) {
        event->ignore();
        if (!m_quitAfterRun) {
            m_quitAfterRun = true;
            m_monitor->releaseMainWindow();
            connect(m_monitor, &frmMonitor::unloaded, this, [this] { QTimer::singleShot(0, this, &Form1::close); });
            m_monitor->close();
        }
        return;
    }
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_loaded)
        saveSettings();
    // Ends the program, closing every other window with it.
    QCoreApplication::quit();
}

void Form1::saveSettings()
{
    // The file list reopens where the user left it.
    guarded("SourceFolder", [this] { App().SourceFolder = XListView1->FolderPath(); });
    guarded("SaveSettings", [this] { m_settings.SaveSettings(App()); });
    guarded("window state", [this] { m_areas->saveState(SettingsFile::WindowStatePath(m_settings.path())); });
}

} // namespace Sveltra
