#include "gui/mainwindow/form1.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtDebug>

#include <algorithm>
#include <exception>
#include <optional>

#include "core/base/appstate.h"
#include "gui/dialogs/frmstartup.h"
#include "gui/skin/imagelist.h"
#include "core/base/instanceguard.h"
#include "gui/platform/publicfunctions.h"
#include "core/settings/settings.h"
#include "core/base/version.h"
#include "core/base/website.h"
#include "core/cd/audiograbber.h"
#include "gui/mainwindow/cdtracklisting.h"
#include "core/convert/audioinformation.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/joblist.h"
#include "gui/dialogs/frmoption.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/skin/splitbar.h"
#include "gui/dialogs/frmabout.h"
#include "gui/dialogs/frmupdate.h"

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

struct FormatButton
{
    const char *key;
    const char16_t *toolTip;
    int picture; // index in ImageList3
};

// The format toolbar, left to right.
constexpr FormatButton formatButtons[] = {
    {"MP3", u"MP3 文件", 1},
    {"WAV", u"WAVE 文件", 2},
    {"CD", u"CD 音轨", 3},
    {"ALL", u"所有文件", 4},
};

// Sizes and places a control from twips, converting at this boundary only.
void place(QWidget *widget, const Layout::Rect &twips)
{
    const Layout::PixelRect p = Layout::ToPixels(twips);
    widget->setGeometry(p.x, p.y, p.width, p.height);
}

Layout::Rect twipsOf(const QWidget *widget)
{
    const QRect g = widget->geometry();
    return Layout::ToTwips(Layout::PixelRect{g.x(), g.y(), g.width(), g.height()});
}

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
    mnuHelp->setShortcut(QKeySequence::HelpContents);
    mnuExit->setShortcut(QKeySequence::Quit);

    tbStatus = new StatusBar(this);
    tbStatus->setAccessibleName(QStringLiteral("状态栏"));
    setStatusBar(tbStatus);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainArea"));
    setCentralWidget(central);

    AudioInformation1 = new AudioInformation;
    ListView1 = new JobList(*AudioInformation1, central);
    connect(ListView1, &JobList::statusMessage, this, &Form1::ShowStatusMessage);
    connect(ListView1, &JobList::addSelectionRequested, this, &Form1::AddSelectedFiles);
    AudioGrabber1 = new AudioGrabber(this);
    cdTracks = new CdTrackListing(*AudioGrabber1, *ListView1, [this](const QString &m) { ShowStatusMessage(m); }, this);
    connect(ListView1, &JobList::cdTrackRequested, cdTracks, &CdTrackListing::AddCdTrack);

    createBrowser(central);
    XListView1->setVirtualFolderProvider(cdTracks);
    XTreeView1->setVirtualFolderProvider(cdTracks);
    connect(cdTracks, &CdTrackListing::rootFoldersChanged, XTreeView1, &FolderTreeView::refreshVirtualFolders);
    createOutputBar(central);
    createSplitters(central);
    setKeyboardOrder();
    central->installEventFilter(this);

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
    Toolbar1 = addToolBar(QStringLiteral("工具栏"));
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

void Form1::createBrowser(QWidget *area)
{
    XTreeView1 = new FolderTreeView(area);
    XListView1 = new FileListView(area);
    connect(XListView1, &FileListView::ItemActivated, this, &Form1::XListView1_ItemActivated);

    // The format toolbar: four exclusive picture buttons and the editable pattern box. Its
    // height fits the box; its width is the layout's to set.
    tbFormat = new QWidget(area);
    tbFormat->setObjectName(QStringLiteral("tbFormat"));
    tbFormat->setAccessibleName(QStringLiteral("文件格式工具栏"));

    cbFormat = new QComboBox(tbFormat);
    cbFormat->setObjectName(QStringLiteral("cbFormat"));
    cbFormat->setAccessibleName(QStringLiteral("文件类型"));
    cbFormat->setEditable(true);
    cbFormat->setInsertPolicy(QComboBox::NoInsert);
    cbFormat->lineEdit()->setAccessibleName(QStringLiteral("文件类型"));
    const int comboHeight = cbFormat->sizeHint().height();
    const int buttonSize = Layout::ToPixels(Layout::FormatButtonSize);
    const int barHeight = std::max(comboHeight, buttonSize) + 4;
    tbFormat->resize(Layout::ToPixels(Layout::FormatBarDesignWidth), barHeight);
    cbFormat->setGeometry(Layout::ToPixels(Layout::FormatComboLeft), (barHeight - comboHeight) / 2,
                          Layout::ToPixels(Layout::FormatBarDesignWidth - Layout::FormatComboLeft), comboHeight);
    connect(cbFormat, &QComboBox::editTextChanged, this, &Form1::cbFormat_Change);
    connect(cbFormat, &QComboBox::activated, this, [this] { cbFormat_Click(); });

    m_formatGroup = new QButtonGroup(tbFormat);
    m_formatGroup->setExclusive(true);
    int left = Layout::ToPixels(Layout::FormatButtonsLeft);
    for (const FormatButton &format : formatButtons) {
        const QString key = QString::fromLatin1(format.key);
        const QString tip = QString::fromUtf16(format.toolTip);
        auto *button = new QToolButton(tbFormat);
        button->setObjectName(key);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(ImageListIcon(QStringLiteral("formats"), format.picture));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(left, (barHeight - buttonSize) / 2, buttonSize, buttonSize);
        left += buttonSize;
        m_formatGroup->addButton(button);
        connect(button, &QToolButton::clicked, this, [this, key] { tbFormat_ButtonClick(key); });
    }
}

void Form1::createOutputBar(QWidget *area)
{
    Picture1 = new QWidget(area);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("输出路径栏"));
    Picture1->resize(Picture1->width(), Layout::ToPixels(Layout::OutputBarHeight));

    Command1 = new QPushButton(Picture1);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("单击这个按钮选择输出路径"));
    Command1->setAccessibleName(QStringLiteral("单击这个按钮选择输出路径"));
    Command1->setIcon(ImageListIcon(QStringLiteral("toolbar"), 4));
    Command1->setIconSize(QSize(24, 24));
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    txtOutput = new QLineEdit(Picture1);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setToolTip(QStringLiteral("输出路径"));
    txtOutput->setAccessibleName(QStringLiteral("输出路径"));
    txtOutput->resize(txtOutput->width(), Layout::ToPixels(Layout::BrowseButtonHeight));
    connect(txtOutput, &QLineEdit::textChanged, this, &Form1::txtOutput_Change);

    Picture1->installEventFilter(this);
    Picture1_Resize();
}

void Form1::createSplitters(QWidget *area)
{
    SplitH = new SplitBar(Qt::Horizontal, area);
    SplitH->setObjectName(QStringLiteral("SplitH"));
    SplitH->setAccessibleName(QStringLiteral("左右分隔条"));
    SplitH->setAccessibleDescription(QStringLiteral("用左右方向键调整文件夹栏的宽度"));
    SplitV = new SplitBar(Qt::Vertical, area);
    SplitV->setObjectName(QStringLiteral("SplitV"));
    SplitV->setAccessibleName(QStringLiteral("上下分隔条"));
    SplitV->setAccessibleDescription(QStringLiteral("用上下方向键调整上方区域的高度"));

    connect(SplitH, &SplitBar::mousePressed, this, &Form1::SplitH_MouseDown);
    connect(SplitH, &SplitBar::mouseMoved, this, &Form1::SplitH_MouseMove);
    connect(SplitH, &SplitBar::mouseReleased, this, &Form1::SplitH_MouseUp);
    connect(SplitV, &SplitBar::mousePressed, this, &Form1::SplitV_MouseDown);
    connect(SplitV, &SplitBar::mouseMoved, this, &Form1::SplitV_MouseMove);
    connect(SplitV, &SplitBar::mouseReleased, this, &Form1::SplitV_MouseUp);
    connect(SplitH, &SplitBar::keyboardStep, this, [this](int pixels) { splitterKeyboardStep(SplitH, pixels); });
    connect(SplitV, &SplitBar::keyboardStep, this, [this](int pixels) { splitterKeyboardStep(SplitV, pixels); });
}

void Form1::setKeyboardOrder()
{
    // Tab walks the working areas as the eye reads them in either arrangement; the toolbar
    // comes before them, the splitter bars after.
    QList<QWidget *> order = {XTreeView1};
    for (QAbstractButton *button : m_formatGroup->buttons())
        order << button;
    order << cbFormat << XListView1 << ListView1 << Command1 << txtOutput << SplitH << SplitV;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

Form1::LoadResult Form1::Form_Load()
{
    guarded("caption", [this] { setWindowTitle(CaptionPrefix() + VersionText()); });
    guarded("state", [this] {
        m_dragState = 0;
        m_arrangement = 2;
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

    guarded("initial sizes", [this] { setInitialSizes(); });
    guarded("InitForm", [this] { InitForm(); });
    guarded("LoadSettings", [this] { m_settings.LoadSettings(App()); });
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

void Form1::setInitialSizes()
{
    Layout::Areas areas = readAreas();
    Layout::InitialSizes(areas, frame());
    writeAreas(areas);
}

void Form1::InitForm()
{
    Layout::Areas areas = readAreas();
    Layout::InitForm(areas, frame());
    writeAreas(areas);
}

void Form1::Form_Resize()
{
    if (isMinimized())
        return;
    Layout::Areas areas = readAreas();
    Layout::LayoutPass(areas, frame(), m_arrangement);
    writeAreas(areas);
}

Layout::Frame Form1::frame()
{
    // Before the window is first shown its docked parts have not been placed yet.
    if (!isVisible() && layout())
        layout()->setGeometry(rect());
    const QWidget *area = centralWidget();
    const int clientTop = Toolbar1->y(); // below the menu bar, which is not client area
    Layout::Frame f;
    f.W = Layout::ToTwips(width());
    f.H = Layout::ToTwips(height() - clientTop);
    f.Top0 = Layout::ToTwips(area->y() - clientTop);
    f.Left0 = Layout::ToTwips(Toolbar1->x());
    f.Bottom0 = Layout::ToTwips(area->y() + area->height() - clientTop);
    return f;
}

Layout::Areas Form1::readAreas() const
{
    // The areas live on the work area, whose top is the main toolbar's bottom (Top0).
    const int top0 = Layout::ToTwips(centralWidget()->y() - Toolbar1->y());
    auto read = [top0](const QWidget *widget) {
        Layout::Rect r = twipsOf(widget);
        r.top += top0;
        return r;
    };
    Layout::Areas a;
    a.tree = read(XTreeView1);
    a.splitV = read(SplitV);
    a.tbFormat = read(tbFormat);
    a.cbFormat = twipsOf(cbFormat);
    a.fileList = read(XListView1);
    a.splitH = read(SplitH);
    a.jobList = read(ListView1);
    a.outputBar = read(Picture1);
    return a;
}

void Form1::writeAreas(const Layout::Areas &a)
{
    const int top0 = Layout::ToTwips(centralWidget()->y() - Toolbar1->y());
    auto write = [top0](QWidget *widget, Layout::Rect r) {
        r.top -= top0;
        place(widget, r);
    };
    write(XTreeView1, a.tree);
    write(SplitV, a.splitV);
    write(tbFormat, a.tbFormat);
    place(cbFormat, a.cbFormat);
    write(XListView1, a.fileList);
    write(SplitH, a.splitH);
    write(ListView1, a.jobList);
    write(Picture1, a.outputBar);
}

void Form1::Picture1_Resize()
{
    const Layout::OutputBarInner inner = Layout::PlaceOutputBar(twipsOf(Picture1), twipsOf(txtOutput));
    place(Command1, inner.browseButton);
    place(txtOutput, inner.textBox);
}

void Form1::SplitH_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 1;
}

void Form1::SplitV_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 2;
}

void Form1::SplitH_MouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 0;
}

void Form1::SplitV_MouseUp(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragState = 0;
}

void Form1::SplitH_MouseMove(int offset)
{
    if (m_dragState != 1)
        return;
    Layout::Areas areas = readAreas();
    const Layout::Frame f = frame();
    const Layout::DragStep step = Layout::DragSplitter(areas.tree.width, Layout::ToTwips(offset), f.W, f.W,
                                                       Layout::ToTwips(frameGeometry().width()));
    if (!step.taken)
        return;
    areas.tree.width = step.size;
    writeAreas(areas);
    Form_Resize();
}

void Form1::SplitV_MouseMove(int offset)
{
    if (m_dragState != 2)
        return;
    Layout::Areas areas = readAreas();
    const Layout::Frame f = frame();
    // Arrangement 1 sizes the tree above the bar, arrangement 2 the file list.
    int &size = m_arrangement == 1 ? areas.tree.height : areas.fileList.height;
    const Layout::DragStep step =
        Layout::DragSplitter(size, Layout::ToTwips(offset), f.H, f.W, Layout::ToTwips(frameGeometry().width()));
    if (step.taken) {
        size = step.size;
        writeAreas(areas);
    }
    Form_Resize();
}

void Form1::splitterKeyboardStep(SplitBar *bar, int pixels)
{
    // An arrow key is a drag whose pointer sits that many pixels past the bar's edge.
    const int saved = m_dragState;
    if (bar == SplitH) {
        m_dragState = 1;
        SplitH_MouseMove(pixels);
    } else {
        m_dragState = 2;
        SplitV_MouseMove(pixels);
    }
    m_dragState = saved;
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
    // In the list's order; each file meets the duplicate test and the media check on its own.
    for (auto item = XListView1->FirstSelected(); item; item = XListView1->NextSelected()) {
        if (!item->isFolder())
            AddMediaFile(item->Path());
        ListView1->viewport()->update();
    }
}

void Form1::AddMediaFile(const QString &path)
{
    ListView1->AddMediaFile(path);
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
    const QString folder = BrowseForFolder(this, QStringLiteral("请选择一个文件夹。"));
    if (folder.isEmpty())
        return;
    txtOutput->setText(folder);
    txtOutput->setToolTip(folder);
}

void Form1::ButtonLayout()
{
    Layout::Areas areas = readAreas();
    m_arrangement = Layout::SwitchArrangement(m_arrangement, areas);
    writeAreas(areas);
    Form_Resize();
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
    frmMonitor::Host host;
    host.mainWindow = this;
    host.rows = ListView1;
    // The box's change handler keeps TargetFolder equal to it.
    host.outputFolder = [this] { return txtOutput->text(); };
    host.setOutputFolder = [this](const QString &text) { txtOutput->setText(text); };
    host.cdDriveFor = [this](const QString &folder) { return cdTracks->DriveFor(folder); };
    m_monitor = new frmMonitor(std::move(host));
    m_monitor->show();
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
    Form_Unload();
    event->accept();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Restoring a minimized window changes no size, yet the areas are laid out again.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == centralWidget())
            Form_Resize();
        else if (watched == Picture1)
            Picture1_Resize();
    }
    return QMainWindow::eventFilter(watched, event);
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
}

} // namespace Sveltra
