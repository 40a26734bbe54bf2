// The interface in the language of the environment it starts in (ctest runs this test in the
// C locale, on a Chinese desktop and on an English one; SVELTRA_EXPECTED_LANGUAGE says which to
// expect): every text the main window, the options dialog and an add's notice show, read from
// the widgets. In Chinese they are the program's own texts exactly; in English none holds a
// Chinese character, and the settings file keeps the profile in Chinese.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "core/base/appstate.h"
#include "core/i18n/language.h"
#include "core/profile/profile.h"
#include "gui/dialogs/frmoption.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/joblist.h"
#include "gui/skin/imagelist.h"
#include "gui/skin/picturebutton.h"
#include "tests/support/loadedform.h"

using namespace Sveltra;

namespace {

// The texts a person reads or hears (through the accessibility bus) on `root` and its children:
// titles, captions, tooltips, accessible names, column heads, menu entries. Not the data shown
// (file names, paths), which is the user's own.
QStringList interfaceTexts(QWidget *root)
{
    QStringList texts;
    auto add = [&texts](const QObject *owner, const char *what, const QString &text) {
        if (!text.isEmpty())
            texts << owner->objectName() + QLatin1Char('.') + QLatin1String(what) + QLatin1Char('=') + text;
    };
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : std::as_const(widgets)) {
        add(w, "windowTitle", w->isWindow() ? w->windowTitle() : QString());
        add(w, "toolTip", w->toolTip());
        add(w, "accessibleName", w->accessibleName());
        add(w, "accessibleDescription", w->accessibleDescription());
        add(w, "whatsThis", w->whatsThis());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(w, "text", button->text());
        if (auto *label = qobject_cast<QLabel *>(w))
            add(w, "text", label->text());
        if (auto *menu = qobject_cast<QMenu *>(w))
            add(w, "title", menu->title());
        if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model()) {
            for (int c = 0; c < view->model()->columnCount(); ++c)
                add(w, "header", view->model()->headerData(c, Qt::Horizontal).toString());
        }
    }
    for (const QAction *action : root->findChildren<QAction *>()) {
        add(action, "text", action->text());
        add(action, "toolTip",
            action->toolTip() == QString(action->text()).remove(QLatin1Char('&')) ? QString() : action->toolTip());
    }
    return texts;
}

QStringList withChinese(const QStringList &texts)
{
    static const QRegularExpression chinese(QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    QStringList found;
    for (const QString &text : texts) {
        if (text.contains(chinese))
            found << text;
    }
    return found;
}

struct Shown
{
    QStringList window;
    QStringList options;
    QString notice;
    QString okButton;
};

// Builds the windows afresh and reads them.
Shown readWindows(const QString &missing)
{
    Shown shown;
    TestSupport::LoadedForm loaded;
    Form1 &form = loaded.form;
    form.InitForm();
    form.show();
    shown.window = interfaceTexts(&form);

    App().DeviceChoice = QStringLiteral("1- MP3 播放器");
    App().QualityChoice = QStringLiteral("2- FM 广播音质");
    App().ChannelChoice = QStringLiteral("2- 单声道");
    App().FormatChoice = QStringLiteral("1- MP3");
    {
        frmOption options([] {});
        shown.options = interfaceTexts(&options);
    }

    QSignalSpy finished(form.ListView1, &JobList::addingFinished);
    form.ListView1->AddMediaFiles({missing + QStringLiteral("/a.mp3"), missing + QStringLiteral("/b.mp3")});
    if (finished.wait(30000)) {
        for (QMessageBox *box : form.findChildren<QMessageBox *>(QStringLiteral("RefusedNotice"))) {
            shown.notice = box->windowTitle() + QLatin1Char('|') + box->text();
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                shown.okButton = ok->text();
            box->close();
        }
    }
    return shown;
}

} // namespace

class TestInterfaceLanguage : public QObject
{
    Q_OBJECT

private slots:
    void windowsSpeakTheDesktopsLanguage()
    {
        const QByteArray expected = qgetenv("SVELTRA_EXPECTED_LANGUAGE");
        if (expected.isEmpty())
            QSKIP("run by ctest with SVELTRA_EXPECTED_LANGUAGE set (zh or en)");
        const InterfaceLanguage language = SystemInterfaceLanguage();
        QCOMPARE(language == InterfaceLanguage::English ? "en" : "zh", expected.constData());

        const QString missing = QDir::temp().filePath(QStringLiteral("sveltra-no-such-folder"));
        // The program's own texts, before any translation is installed.
        const Shown source = readWindows(missing);
        QVERIFY(source.window.contains(QStringLiteral("mnuFile.title=文件(&F)")));
        QCOMPARE(source.notice, QStringLiteral("未添加的文件|以下 2 个文件找不到，未添加：\na.mp3\nb.mp3"));

        QVERIFY(InstallInterfaceTranslations(*qApp, language));
        const Shown shown = readWindows(missing);
        QCOMPARE(shown.window.size(), source.window.size());
        QCOMPARE(shown.options.size(), source.options.size());
        if (language == InterfaceLanguage::Chinese) {
            // The program's texts byte for byte what they always were; Qt's own (the folder
            // tree's column heads, standard buttons) in Chinese too.
            for (const QString &text : withChinese(source.window))
                QVERIFY2(shown.window.contains(text), qPrintable(text));
            QCOMPARE(shown.options, source.options);
            QCOMPARE(shown.notice, source.notice);
            QVERIFY(shown.window.contains(QStringLiteral("XTreeView1.header=名称")));
            QCOMPARE(LocalizedPicture(QStringLiteral(":/option/background.png")), QStringLiteral(":/option/background.png"));
            QCOMPARE(shown.okButton, QStringLiteral("确定"));
            return;
        }
        QCOMPARE(withChinese(shown.window), QStringList());
        QCOMPARE(withChinese(shown.options), QStringList());
        QVERIFY(shown.window.contains(QStringLiteral("mnuFile.title=&File")));
        QVERIFY(shown.options.contains(QStringLiteral("lblSummary.text=Your player: MP3 player.  Quality: FM radio quality.  "
                                                      "Format: MP3.  Sound: Mono.")));
        QCOMPARE(shown.notice, QStringLiteral("Files not added|These 2 files were not added (not found):\na.mp3\nb.mp3"));
        QCOMPARE(shown.okButton, QStringLiteral("OK"));
        // The skins that carry words come in English.
        QCOMPARE(LocalizedPicture(QStringLiteral(":/option/background.png")), QStringLiteral(":/option/en/background.png"));
        QCOMPARE(ImageListPath(QStringLiteral("option/buttons"), 5), QStringLiteral(":/option/buttons/en/05.png"));
        QCOMPARE(ImageListPath(QStringLiteral("option/buttons"), 1), QStringLiteral(":/option/buttons/01.png"));
        // What the dialog stores stays Chinese: a settings file moves between desktops.
        QCOMPARE(App().QualityChoice, QStringLiteral("2- FM 广播音质"));
    }

    // The help opens in the interface's language, and every Chinese page has its English twin.
    void helpInTheInterfacesLanguage()
    {
        QDirIterator pages(QStringLiteral(":/help"), {QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files);
        int count = 0;
        while (pages.hasNext()) {
            const QString page = QFileInfo(pages.next()).fileName();
            QVERIFY2(QFile::exists(QStringLiteral(":/help/en/") + page), qPrintable(page));
            ++count;
        }
        QVERIFY(count >= 9);

        HelpWindow *help = HelpWindow::ShowTopic(QStringLiteral("profiles.html"));
        auto *browser = help->findChild<QTextBrowser *>();
        QVERIFY(browser);
        const bool english = CurrentInterfaceLanguage() == InterfaceLanguage::English;
        QCOMPARE(browser->source().path(),
                 english ? QStringLiteral("/help/en/profiles.html") : QStringLiteral("/help/profiles.html"));
        QCOMPARE(browser->documentTitle(), english ? QStringLiteral("Profiles") : QStringLiteral("压缩参数"));
        if (english)
            QCOMPARE(withChinese({browser->toPlainText()}), QStringList());
        help->close();
    }
};

QTEST_MAIN(TestInterfaceLanguage)
#include "test_interfacelanguage.moc"
