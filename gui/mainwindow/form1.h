#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

#include "gui/mainwindow/formatbar.h"
#include "gui/mainwindow/maintoolbar.h"
#include "gui/mainwindow/outputbar.h"
#include "gui/mainwindow/windowslot.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;

namespace Sveltra {

class AudioGrabber;
class AudioInformation;
class CdTrackListing;
class DesktopBus;
class FileItem;
class FileListView;
class FolderTreeView;
class InstanceGuard;
class JobList;
class JobListMenu;
class SplitBar;
class SettingsFile;
class StatusBar;
class WindowAreas;
struct RunSummary;
struct SyncPlan;
class frmAbout;
class frmMonitor;
class frmOption;
class frmStartUp;
class frmUpdate;

// The main window. It builds the job list, the file browser, the toolbar, the menus and the
// status bar, loads and unloads the program, and runs the commands of the toolbar and the menus;
// the placement of its working areas and the splitter bars belong to WindowAreas. The other
// windows reach its parts through it. Lives on the user-interface thread.
class Form1 final : public QMainWindow
{
    Q_OBJECT

public:
    // The settings file and the instance guard belong to the caller and outlive the window;
    // the splash (if any) is hidden once the status bar has been filled.
    Form1(SettingsFile &settings, InstanceGuard &guard, frmStartUp *splash = nullptr, QWidget *parent = nullptr);
    ~Form1() override;

    enum class LoadResult { Loaded, SecondCopy };

    // The load step. Each step is guarded: one that fails is skipped and loading goes on. When
    // another copy is running it shows the refusal and returns SecondCopy; nothing else runs
    // then, and the caller ends the process without the unload step.
    LoadResult Form_Load();
    bool isLoaded() const { return m_loaded; }

    // The working areas (see WindowAreas): the first placement, the layout pass of the current
    // arrangement, the arrangement (1 or 2) and the drag state (0, or 1 or 2 while SplitH or
    // SplitV is dragged).
    void InitForm();
    void Form_Resize();
    // Before the first show: the size, place, splitters and arrangement the user left (kept in
    // window.conf beside the settings file), or at a first start a size relative to the screen.
    void RestoreWindowState();
    int arrangement() const;
    int dragState() const;

    // Writes the profile into the status bar.
    void RefreshStatusBar();
    void ShowStatusMessage(const QString &message);

    // Runs the operation of the toolbar button with this key ("Add", "Remove", ...); an unknown
    // key does nothing.
    void Toolbar1_ButtonClick(const QString &key);

    // Commands shared by the toolbar and the menus.
    void AddSelectedFiles();
    void RemoveSelected();
    void RemoveAll();
    void BrowseOutput();
    void ButtonLayout();
    void ShowOptions();
    // Shows the progress window, which hides this window and runs the conversion.
    void StartDiet();
    frmMonitor *monitorWindow() const;
    // "同步到播放器…": the sync window; its 开始同步 carries the plan out through the progress
    // window as StartDiet() does, into the player folder.
    void ShowSync();
    // Carries out a plan the sync window has shown: the file changes, then the encodes.
    void StartSync(const SyncPlan &plan);
    // Opens the output folder in the file manager ("打开输出文件夹"); says so when it cannot.
    void OpenOutputFolder();
    void RefreshCDInfo();

    // Commands only the menus offer.
    void mnuCheck_Click();
    void mnuHelp_Click();
    void mnuSupport_Click();
    void mnuAbout_Click();
    void mnuExit_Click();

    // Adds one file or CD track to the job list.
    void AddMediaFile(const QString &path);
    // Adds many, read on worker threads; the rows come in, in this order, after it returns.
    void AddMediaFiles(const QStringList &paths);

    // The file browser and the output folder.
    void cbFormat_Change(const QString &text);
    void cbFormat_Click();
    void tbFormat_ButtonClick(const QString &key);
    void txtOutput_Change(const QString &text);
    void Command1_Click();
    void XListView1_ItemActivated(const FileItem &item);

    // Controls and components, by the names the rest of the program uses.
    AudioInformation *AudioInformation1 = nullptr;
    AudioGrabber *AudioGrabber1 = nullptr;
    // CD tracks in the job list and the file browser, over AudioGrabber1.
    CdTrackListing *cdTracks = nullptr;
    JobList *ListView1 = nullptr;
    MainToolbar *Toolbar1 = nullptr;
    StatusBar *tbStatus = nullptr;
    FolderTreeView *XTreeView1 = nullptr;
    FileListView *XListView1 = nullptr;
    FormatBar *tbFormat = nullptr;
    QComboBox *cbFormat = nullptr;
    OutputBar *Picture1 = nullptr;
    QLineEdit *txtOutput = nullptr;
    QPushButton *Command1 = nullptr;
    SplitBar *SplitH = nullptr;
    SplitBar *SplitV = nullptr;
    QMenu *mnuFile = nullptr;
    QMenu *mnuAction = nullptr;
    QMenu *mnuOptions = nullptr;
    QMenu *mnuHlp = nullptr;

    QAction *mnuAdd = nullptr;
    QAction *mnuRemove = nullptr;
    QAction *mnuRemoveAll = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuDiet = nullptr;
    QAction *mnuOpenOutput = nullptr;
    QAction *mnuSync = nullptr;
    QAction *mnuLevel = nullptr;
    QAction *mnuCheck = nullptr;
    QAction *mnuOption = nullptr;
    QAction *mnuLayout = nullptr;
    QAction *mnuOutput = nullptr;
    QAction *mnuHelp = nullptr;
    QAction *mnuSupport = nullptr;
    QAction *mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createBrowser(QWidget *area);
    void createOutputBar(QWidget *area);
    void setKeyboardOrder();
    // The unload step: writes the settings and ends the process.
    void Form_Unload();
    void saveSettings();
    // A run has ended: its summary goes to the status bar and, when the program was not in
    // front, to a desktop notification, and the window asks for attention; play lists it could
    // not write in a message.
    void runEnded(const RunSummary &summary, bool inFront);
    // A sync's run has ended (or it had nothing to encode): the marks, removals and play lists
    // after it, its result in the status bar, its problems in a message.
    void syncEnded(const RunSummary *summary, bool inFront);
    // Once the progress window has gone: this window asks for attention when it was not in
    // front, then a warning box named name shows text, the first problems and all of them in its
    // details (nothing when there are none).
    void showProblems(const QString &name, const QString &text, const QStringList &problems, bool inFront);

    SettingsFile &m_settings;
    InstanceGuard &m_guard;
    QPointer<frmStartUp> m_splash;
    QPointer<frmMonitor> m_monitor;
    // The sync being carried out (or the last one): its rows stay while its progress window does.
    struct SyncSession;
    std::unique_ptr<SyncSession> m_sync;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_quitAfterRun = false; // closed during a run: unload once the run has stopped
    WindowAreas *m_areas = nullptr;
    JobListMenu *m_listMenu = nullptr;
    DesktopBus *m_desktop = nullptr;
    // The skinned secondary windows, each open at most once; they have no owner, so the main
    // window deletes those still open when it goes.
    WindowSlot<frmOption> m_option;
    WindowSlot<frmUpdate> m_update;
    WindowSlot<frmAbout> m_about;
};

} // namespace Sveltra
