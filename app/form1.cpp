#include "app/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>
#include <QtDebug>

#include <exception>

#include "app/appstate.h"
#include "app/frmstartup.h"
#include "app/imagelist.h"
#include "app/instanceguard.h"
#include "app/settings.h"
#include "app/version.h"
#include "convert/audioinformation.h"
#include "mainwindow/joblist.h"
#include "profile/statusbar.h"

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

// The designed client size: 8610 × 7335 twips at 15 twips per pixel.
constexpr int DesignedClientWidth = 8610 / 15;
constexpr int DesignedClientHeight = 7335 / 15;

struct ToolbarButton
{
    const char16_t *caption;
    const char *key;
    const char16_t *toolTip;
    int picture; // index in ImgLstToolbarOn
    bool separatorBefore;
};

// Left to right.
constexpr ToolbarButton toolbarButtons[] = {
    {u"添加", "Add", u"添加选定的媒体文件到压缩列表", 1, false},
    {u"移除", "Remove", u"从压缩列表移除选定项目", 2, false},
    {u"全部清除", "Clear", u"从压缩列表清除所有项目", 3, false},
    {u"输出", "Output", u"选择输出路径", 4, true},
    {u"界面", "layout", u"切换界面 ", 5, false},
    {u"选项", "Options", u"设置压缩参数", 6, false},
    {u"刷新", "refresh", u"Refresh CD to show correct results", 10, false},
    {u"开始压缩", "Diet", u"开始压缩列表中的媒体文件", 9, true},
};

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
    createToolbar();

    tbStatus = new StatusBar(this);
    setStatusBar(tbStatus);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainArea"));
    setCentralWidget(central);

    AudioInformation1 = new AudioInformation;
    ListView1 = new JobList(*AudioInformation1, central);
    connect(ListView1, &JobList::statusMessage, this, &Form1::ShowStatusMessage);
    connect(ListView1, &JobList::addSelectionRequested, this, &Form1::AddSelectedFiles);

    resize(DesignedClientWidth, DesignedClientHeight + menuBar()->sizeHint().height());
}

Form1::~Form1()
{
    // The terminate step: released without having been unloaded.
    if (m_loaded && !m_unloaded)
        saveSettings();
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

    mnuFile = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuAdd = addEntry(mnuFile, QStringLiteral("mnuAdd"), QStringLiteral("添加项目"), &Form1::AddSelectedFiles);
    mnuRemove = addEntry(mnuFile, QStringLiteral("mnuRemove"), QStringLiteral("移除项目"), &Form1::RemoveSelected);
    mnuRemoveAll = addEntry(mnuFile, QStringLiteral("mnuRemoveAll"), QStringLiteral("清除所有项目"), &Form1::RemoveAll);
    mnuExit = addEntry(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("退出"), &Form1::mnuExit_Click);

    mnuAction = menuBar()->addMenu(QStringLiteral("操作(&A)"));
    mnuAction->setObjectName(QStringLiteral("mnuAction"));
    mnuDiet = addEntry(mnuAction, QStringLiteral("mnuDiet"), QStringLiteral("开始压缩"), &Form1::StartDiet);
    mnuCheck = addEntry(mnuAction, QStringLiteral("mnuCheck"), QStringLiteral("检查新版本"), &Form1::mnuCheck_Click);

    mnuOptions = menuBar()->addMenu(QStringLiteral("选项(&O)"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOption = addEntry(mnuOptions, QStringLiteral("mnuOption"), QStringLiteral("程序设置"), &Form1::ShowOptions);
    mnuLayout = addEntry(mnuOptions, QStringLiteral("mnuLayout"), QStringLiteral("界面转换"), &Form1::ButtonLayout);
    mnuOutput = addEntry(mnuOptions, QStringLiteral("mnuOutput"), QStringLiteral("输出路径"), &Form1::BrowseOutput);

    mnuHlp = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    mnuHlp->setObjectName(QStringLiteral("mnuHlp"));
    mnuHelp = addEntry(mnuHlp, QStringLiteral("mnuHelp"), QStringLiteral("帮助"), &Form1::mnuHelp_Click);
    mnuSupport = addEntry(mnuHlp, QStringLiteral("mnuSupport"), QStringLiteral("技术支持"), &Form1::mnuSupport_Click);
    mnuAbout = addEntry(mnuHlp, QStringLiteral("mnuAbout"), QStringLiteral("关于"), &Form1::mnuAbout_Click);
}

void Form1::createToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setAccessibleName(QStringLiteral("工具栏"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(32, 32));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    for (const ToolbarButton &button : toolbarButtons) {
        if (button.separatorBefore)
            Toolbar1->addSeparator();
        const QString key = QString::fromLatin1(button.key);
        QAction *action = Toolbar1->addAction(ImageListIcon(QStringLiteral("toolbar"), button.picture),
                                              QString::fromUtf16(button.caption));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setData(key);
        action->setToolTip(QString::fromUtf16(button.toolTip));
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });

        QWidget *widget = Toolbar1->widgetForAction(action);
        widget->setObjectName(key);
        widget->setAccessibleName(QString::fromUtf16(button.caption));
        widget->setFocusPolicy(Qt::TabFocus);
        if (key == QLatin1String("refresh"))
            widget->setWhatsThis(QStringLiteral("刷新 CD"));
    }
}

Form1::LoadResult Form1::Form_Load()
{
    guarded("caption", [this] { setWindowTitle(CaptionPrefix() + VersionText()); });
    guarded("state", [] { App().LastLookupDrive = 0; });

    // Another copy is running: refuse, and end without touching anything.
    if (!m_guard.acquire()) {
        if (m_splash)
            m_splash->hide();
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), SecondCopyMessage(), QMessageBox::Ok);
        box.setObjectName(QStringLiteral("SecondCopyMessage"));
        box.exec();
        return LoadResult::SecondCopy;
    }

    guarded("InitForm", [this] { InitForm(); });
    guarded("LoadSettings", [this] { m_settings.LoadSettings(App()); });
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
}

void Form1::AddMediaFile(const QString &path)
{
    ListView1->AddMediaFile(path);
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
}

void Form1::ButtonLayout()
{
}

void Form1::ShowOptions()
{
    RefreshStatusBar();
}

void Form1::StartDiet()
{
}

void Form1::RefreshCDInfo()
{
}

void Form1::mnuCheck_Click()
{
}

void Form1::mnuHelp_Click()
{
}

void Form1::mnuSupport_Click()
{
}

void Form1::mnuAbout_Click()
{
}

void Form1::mnuExit_Click()
{
    close();
}

void Form1::closeEvent(QCloseEvent *event)
{
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
    guarded("SaveSettings", [this] { m_settings.SaveSettings(App()); });
}

} // namespace Sveltra
