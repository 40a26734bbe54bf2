#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QMenu;
class QToolBar;

namespace Sveltra {

class AudioInformation;
class InstanceGuard;
class JobList;
class SettingsFile;
class StatusBar;
class frmStartUp;

// The main window. It owns the job list, the file browser, the toolbar, the menus and the
// status bar; the other windows reach them through it. Lives on the user-interface thread.
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

    // Lays the main window out for the current arrangement.
    void InitForm();

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
    void StartDiet();
    void RefreshCDInfo();

    // Commands only the menus offer.
    void mnuCheck_Click();
    void mnuHelp_Click();
    void mnuSupport_Click();
    void mnuAbout_Click();
    void mnuExit_Click();

    // Adds one file or CD track to the job list.
    void AddMediaFile(const QString &path);

    // Controls and components, by the names the rest of the program uses.
    AudioInformation *AudioInformation1 = nullptr;
    JobList *ListView1 = nullptr;
    QToolBar *Toolbar1 = nullptr;
    StatusBar *tbStatus = nullptr;
    QMenu *mnuFile = nullptr;
    QMenu *mnuAction = nullptr;
    QMenu *mnuOptions = nullptr;
    QMenu *mnuHlp = nullptr;

    QAction *mnuAdd = nullptr;
    QAction *mnuRemove = nullptr;
    QAction *mnuRemoveAll = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuDiet = nullptr;
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
    void createToolbar();
    // The unload step: writes the settings and ends the process.
    void Form_Unload();
    void saveSettings();

    SettingsFile &m_settings;
    InstanceGuard &m_guard;
    QPointer<frmStartUp> m_splash;
    bool m_loaded = false;
    bool m_unloaded = false;
};

} // namespace Sveltra
