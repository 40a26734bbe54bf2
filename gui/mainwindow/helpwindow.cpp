#include "gui/mainwindow/helpwindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtDebug>

#include "core/i18n/language.h"

namespace Sveltra {

namespace {

struct HelpPage
{
    const char *file;
    const char *title;
};

// The contents list, in reading order.
constexpr HelpPage helpPages[] = {
    {"index.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "目录")},
    {"Sveltra.htm", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "关于 Sveltra")},
    {"adding.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "添加文件和 CD 音轨")},
    {"profiles.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "压缩参数")},
    {"output.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "输出文件的命名")},
    {"progress.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "压缩进度和取消")},
    {"window.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "主窗口和命令")},
    {"settings.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "设置文件")},
    {"troubleshooting.html", QT_TRANSLATE_NOOP("Sveltra::HelpWindow", "故障排除")},
};

QPointer<HelpWindow> s_window;

// The pages in the interface's language: the English set in help/en/, the Chinese in help/.
// A page the English set lacks is shown in Chinese.
QString topicFolder(const QString &topic)
{
    if (CurrentInterfaceLanguage() == InterfaceLanguage::English && QFile::exists(QStringLiteral(":/help/en/") + topic))
        return QStringLiteral("/help/en/");
    return QStringLiteral("/help/");
}

QUrl topicUrl(const QString &topic)
{
    QUrl url;
    url.setScheme(QStringLiteral("qrc"));
    url.setPath(topicFolder(topic).append(topic));
    return url;
}

bool topicExists(const QString &topic)
{
    return !topic.isEmpty() && !topic.contains(QLatin1Char('/')) && QFile::exists(QStringLiteral(":/help/") + topic);
}

} // namespace

QString HelpWindow::DefaultTopic()
{
    return QStringLiteral("index.html");
}

HelpWindow *HelpWindow::existing()
{
    return s_window;
}

HelpWindow *HelpWindow::ShowTopic(const QString &topic)
{
    QString page = topic.trimmed();
    if (page.isEmpty()) {
        page = DefaultTopic();
    } else if (!topicExists(page)) {
        qWarning("Help: no page '%s'; showing the contents", qPrintable(page));
        page = DefaultTopic();
    }

    if (!s_window) {
        s_window = new HelpWindow;
        // The window has no parent; it goes with the program.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, s_window, &QObject::deleteLater);
    }
    s_window->showPage(topicUrl(page));
    s_window->show();
    s_window->setWindowState(s_window->windowState() & ~Qt::WindowMinimized);
    s_window->raise();
    s_window->activateWindow();
    return s_window;
}

HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Sveltra 帮助"));
    setAccessibleName(tr("Sveltra 帮助"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/sveltra.png")));
    resize(820, 580);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setAccessibleName(tr("帮助内容"));
    m_browser->setOpenExternalLinks(true);
    m_browser->document()->setDefaultStyleSheet(QStringLiteral("body { line-height: 140%; }"
                                                               "h1 { font-size: x-large; color: #2b4c7e; }"
                                                               "h2 { font-size: large; color: #2b4c7e; margin-top: 14px; }"
                                                               "td, th { padding: 3px 8px; }"
                                                               "th { background-color: #e4e8f4; }"
                                                               "code { font-family: monospace; }"));
    m_browser->document()->setDocumentMargin(14);

    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    m_contents->setAccessibleName(tr("帮助目录"));
    m_contents->setStyleSheet(QStringLiteral("QListWidget::item { padding: 3px 6px; }"));
    for (const HelpPage &page : helpPages) {
        auto *entry = new QListWidgetItem(tr(page.title), m_contents);
        entry->setData(Qt::UserRole, QString::fromLatin1(page.file));
    }
    connect(m_contents, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *entry) {
        if (entry)
            showPage(topicUrl(entry->data(Qt::UserRole).toString()));
    });

    auto *tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("HelpToolbar"));
    tools->setAccessibleName(tr("帮助工具栏"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction *back = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("后退"));
    QAction *forward = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("前进"));
    QAction *home = tools->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("目录"));
    back->setObjectName(QStringLiteral("HelpBack"));
    forward->setObjectName(QStringLiteral("HelpForward"));
    home->setObjectName(QStringLiteral("HelpHome"));
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    for (QAction *action : {back, forward, home}) {
        QWidget *button = tools->widgetForAction(action);
        button->setAccessibleName(action->text());
        button->setFocusPolicy(Qt::TabFocus);
    }
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { showPage(topicUrl(DefaultTopic())); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::pageShown);

    auto *close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    auto *split = new QSplitter(this);
    split->addWidget(m_contents);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 1);
    split->setSizes({190, 630});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(split, 1);
}

QString HelpWindow::currentTopic() const
{
    return QFileInfo(m_browser->source().path()).fileName();
}

void HelpWindow::showPage(const QUrl &url)
{
    if (m_browser->source() != url)
        m_browser->setSource(url);
}

void HelpWindow::pageShown(const QUrl &url)
{
    const QString file = QFileInfo(url.path()).fileName();
    for (int row = 0; row < m_contents->count(); ++row) {
        QListWidgetItem *entry = m_contents->item(row);
        if (entry->data(Qt::UserRole).toString() == file) {
            const QSignalBlocker quiet(m_contents);
            m_contents->setCurrentItem(entry);
            return;
        }
    }
    const QSignalBlocker quiet(m_contents);
    m_contents->setCurrentItem(nullptr);
}

} // namespace Sveltra
