// Start-up, the refusal of a second copy, the hand-over of a second start's files and shutdown
// through the real main window and the real program, plus the window utilities shared by the
// skinned windows.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "core/base/appstate.h"
#include "core/base/instancechannel.h"
#include "core/base/instanceguard.h"
#include "core/base/version.h"
#include "core/joblist/jobrows.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmstartup.h"
#include "gui/dialogs/frmsync.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/joblist.h"
#include "gui/mainwindow/openrequests.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/platform/publicfunctions.h"
#include "gui/skin/skinnedwindow.h"
#include "tests/support/boxanswerer.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Sveltra.ini")); }
    QString lockPath() const { return m_dir.filePath(QStringLiteral("sveltra.lock")); }

private slots:
    void init()
    {
        QFile::remove(iniPath());
        App() = ApplicationState();
    }

    void loadShowsCaptionProfileAndHidesTheSplash()
    {
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        frmStartUp splash;
        splash.show();
        QCOMPARE(splash.lblVersion->text(), QStringLiteral("版本 04.03.00"));
        QCOMPARE(splash.lblVersion->objectName(), QStringLiteral("lblVersion"));

        Form1 form(settings, guard, &splash);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
        QVERIFY(splash.isHidden());
        QCOMPARE(form.windowTitle(), QStringLiteral("Sveltra  版本 04.03.00"));

        auto *status = form.findChild<StatusBar *>(QStringLiteral("tbStatus"));
        QVERIFY(status);
        const QStringList texts = {QStringLiteral("MP3 播放器"), QStringLiteral("CD 音质"), QStringLiteral("立体声"),
                                   QStringLiteral("MP3")};
        const int pictures[] = {1, 6, 10, 12};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(status->panel(StatusBar::MyDevice + i)->text(), texts[i]);
            QCOMPARE(status->panel(StatusBar::MyDevice + i)->picture(), pictures[i]);
        }
        QCOMPARE(status->panel(StatusBar::Effect)->toolTip(), QStringLiteral("您想要的声音效果: 立体声"));
        QCOMPARE(status->panel(StatusBar::SystemInformation)->picture(), 16);

        form.ShowStatusMessage(QStringLiteral("IDLE"));
        QCOMPARE(status->panel(StatusBar::SystemInformation)->text(), QStringLiteral("IDLE"));
        QCOMPARE(status->panel(StatusBar::SystemInformation)->toolTip(), QStringLiteral("Sveltra 系统信息"));
        QVERIFY(App().HelpFile.endsWith(QStringLiteral("/SveltraV4-1.chm")));
    }

    void toolbarAndMenusCarryTheirNamesAndCaptions()
    {
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);

        const QStringList keys = {QStringLiteral("Add"),     QStringLiteral("Remove"), QStringLiteral("Clear"),
                                  QStringLiteral("Output"),  QStringLiteral("layout"), QStringLiteral("Options"),
                                  QStringLiteral("refresh"), QStringLiteral("Diet")};
        const QStringList captions = {QStringLiteral("添加"), QStringLiteral("移除"),    QStringLiteral("全部清除"),
                                      QStringLiteral("输出"), QStringLiteral("界面"),    QStringLiteral("选项"),
                                      QStringLiteral("刷新"), QStringLiteral("开始压缩")};
        QStringList seenKeys, seenCaptions;
        int separators = 0;
        for (QAction *a : form.Toolbar1->actions()) {
            if (a->isSeparator()) {
                ++separators;
                continue;
            }
            seenKeys << a->data().toString();
            seenCaptions << a->text();
            QWidget *w = form.Toolbar1->widgetForAction(a);
            QCOMPARE(w->objectName(), a->data().toString());
            QVERIFY(!w->accessibleName().isEmpty());
            QVERIFY(!a->toolTip().isEmpty());
        }
        QCOMPARE(seenKeys, keys);
        QCOMPARE(seenCaptions, captions);
        QCOMPARE(separators, 2);
        // It stays docked at the top: it cannot be moved, floated or hidden from a menu.
        QCOMPARE(form.toolBarArea(form.Toolbar1), Qt::TopToolBarArea);
        QVERIFY(!form.Toolbar1->isMovable() && !form.Toolbar1->isFloatable());
        QVERIFY(!form.Toolbar1->toggleViewAction()->isEnabled());
        QCOMPARE(form.contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(form.findChild<QAction *>(QStringLiteral("Toolbar1_layout"))->toolTip(), QStringLiteral("切换界面 "));

        const QList<QPair<QMenu *, QStringList>> menus = {
            {form.mnuFile,
             {QStringLiteral("添加项目"), QStringLiteral("移除项目"), QStringLiteral("清除所有项目"), QStringLiteral("退出")}},
            {form.mnuAction,
             {QStringLiteral("开始压缩"), QStringLiteral("打开输出文件夹"), QStringLiteral("同步到播放器…"),
              QStringLiteral("音量均衡"), QStringLiteral("检查新版本")}},
            {form.mnuOptions, {QStringLiteral("程序设置"), QStringLiteral("界面转换"), QStringLiteral("输出路径")}},
            {form.mnuHlp, {QStringLiteral("帮助"), QStringLiteral("技术支持"), QStringLiteral("关于")}},
        };
        QStringList titles;
        for (const auto &[menu, entries] : menus) {
            titles << menu->title();
            QStringList seen;
            for (QAction *a : menu->actions())
                seen << a->text();
            QCOMPARE(seen, entries);
        }
        QCOMPARE(titles,
                 (QStringList{QStringLiteral("文件(&F)"), QStringLiteral("操作(&A)"), QStringLiteral("选项(&O)"),
                              QStringLiteral("帮助(&H)")}));

        // The sync window opens on the folders the settings remember, and keeps what its boxes say.
        App().SyncLibrary = QStringLiteral("/nowhere/音乐库");
        App().SyncPlayer = QStringLiteral("/nowhere/卡");
        form.mnuSync->trigger();
        auto *sync = form.findChild<frmSync *>();
        QVERIFY(sync);
        QCOMPARE(sync->txtLibrary->text(), QDir::toNativeSeparators(App().SyncLibrary));
        QCOMPARE(sync->txtPlayer->text(), QDir::toNativeSeparators(App().SyncPlayer));
        QTRY_VERIFY(!sync->isPlanning());
        QVERIFY(sync->lblCounts->text().startsWith(QStringLiteral("音乐库文件夹不存在：")));
        sync->txtPlayer->setText(QStringLiteral("/elsewhere"));
        sync->reject();
        QCOMPARE(App().SyncPlayer, QStringLiteral("/elsewhere"));
        QVERIFY(form.findChild<QAction *>(QStringLiteral("mnuRemoveAll")));
        form.Toolbar1_ButtonClick(QStringLiteral("add")); // keys compare exactly; nothing happens
    }

    void closeBoxAndExitBothWriteTheSettings()
    {
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        QString folder = QStringLiteral("/音乐/");
        while (folder.size() < 200)
            folder += QStringLiteral("目录 a");
        folder.truncate(200);
        {
            Form1 form(settings, guard);
            QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
            App().TargetFolder = folder;
            form.show();
            QVERIFY(form.close());
        }
        QVERIFY(QFile::exists(iniPath()));

        App() = ApplicationState();
        {
            Form1 form(settings, guard);
            form.Form_Load();
            QCOMPARE(App().TargetFolder, folder);
            App().ChannelChoice = QStringLiteral("2- 单声道");
            form.show();
            form.mnuExit->trigger();
            QVERIFY(form.isHidden());
        }
        App() = ApplicationState();
        settings.LoadSettings(App());
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));
        QCOMPARE(App().TargetFolder, folder);
    }

    void secondCopyIsRefusedOnceAndTouchesNothing()
    {
        QFile seed(iniPath());
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("[x]\ny=z\n");
        seed.close();

        InstanceGuard running(lockPath());
        QVERIFY(running.acquire());

        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        frmStartUp splash;
        splash.show();
        TestSupport::BoxAnswerer ok;
        {
            Form1 form(settings, guard, &splash);
            QCOMPARE(form.Form_Load(), Form1::LoadResult::SecondCopy);
            QVERIFY(splash.isHidden());
        }
        QCOMPARE(ok.seen, QStringList{QStringLiteral("Sveltra|Sveltra 正在运行，您不需要再次运行它")});
        QCOMPARE(ok.buttons.value(0).size(), 1);
        QCOMPARE(readAll(iniPath()), QByteArray("[x]\ny=z\n"));
    }

    void commandLineNeedsNoDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        auto run = [&](const QStringList &arguments, QByteArray *out, QByteArray *err) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(SVELTRA_BIN_DIR "/sveltra"), arguments);
            if (!program.waitForFinished(30000))
                program.kill();
            *out = program.readAllStandardOutput();
            *err = program.readAllStandardError();
            return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        };
        QByteArray out, err;
        QCOMPARE(run({QStringLiteral("--version")}, &out, &err), 0);
        QCOMPARE(out, QByteArray("Sveltra ") + VersionText().toUtf8() + '\n');
        QCOMPARE(run({QStringLiteral("--help")}, &out, &err), 0);
        QVERIFY(out.startsWith("Usage: sveltra [options] [FILE|FOLDER...]\n"));
        QVERIFY(err.isEmpty());
        QCOMPARE(run({QStringLiteral("--no-such-option"), QStringLiteral("a.mp3")}, &out, &err), 2);
        QVERIFY(out.isEmpty());
        QVERIFY(err.contains("no-such-option"));
    }

    void secondStartHandsItsFilesToTheRunningCopy()
    {
        // This test is the running copy: it holds the user's lock and listens, in a runtime
        // folder of its own; the second start is the real program in a process of its own.
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        auto restore = qScopeGuard(
            [&] { savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime); });
        QVERIFY(InstanceGuard::DefaultLockPath().startsWith(runtime.path()));

        const QString music = m_dir.filePath(QStringLiteral("音乐"));
        QVERIFY(QDir().mkpath(music + QStringLiteral("/album")));
        for (const char *name : {"one.wav", "file:colon.wav", "album/10 ten.wav", "album/2 two.wav"})
            QVERIFY(TestMedia::makeTone(music + QLatin1Char('/') + QString::fromUtf8(name), 0.3));

        SettingsFile settings(iniPath());
        InstanceGuard guard;
        Form1 form(settings, guard);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
        form.show();
        InstanceServer server;
        QVERIFY(server.listen());
        OpenRequests requests(form);
        connect(&server, &InstanceServer::pathsReceived, &requests,
                [&](const QStringList &paths) { requests.open(paths, true); });

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(music);
        second.start(QStringLiteral(SVELTRA_BIN_DIR "/sveltra"),
                     {QStringLiteral("one.wav"), QStringLiteral("file:colon.wav"), QStringLiteral("missing.wav"),
                      QStringLiteral("album")});
        QVERIFY(second.waitForStarted());
        // The event loop runs while waiting, so this copy serves the hand-over meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        // The files, then the folder's audio files in name order, as rows of this window; the
        // path that is not there is named in the notice.
        QTRY_COMPARE(form.ListView1->rowCount(), 4);
        QTRY_VERIFY(!form.ListView1->isAdding());
        QStringList names;
        for (int row = 0; row < 4; ++row)
            names << form.ListView1->cell(row, JobColumn::Source);
        QCOMPARE(names,
                 (QStringList{QStringLiteral("one.wav"), QStringLiteral("file:colon.wav"), QStringLiteral("2 two.wav"),
                              QStringLiteral("10 ten.wav")}));
        auto *notice = form.findChild<QMessageBox *>(QStringLiteral("RefusedNotice"));
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("以下 1 个文件找不到，未添加：\nmissing.wav"));
        notice->close();
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("config/Sveltra/Sveltra.ini")))); // it never loaded
        form.hide();
    }

    void roundRegionCutsTheCorners()
    {
        QWidget w(nullptr, Qt::Window | Qt::FramelessWindowHint);
        w.resize(300, 200);
        SetRoundRegion(&w, 25);
        const QRegion mask = w.mask();
        QVERIFY(mask.contains(QPoint(150, 100)));
        QVERIFY(mask.contains(QPoint(150, 0)));
        QVERIFY(mask.contains(QPoint(0, 100)));
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(299, 199)));
        QVERIFY(!mask.contains(QPoint(2, 197)));
        w.move(40, 50);
        QCOMPARE(w.mask(), mask);
    }

    void skinnedWindowsDragOnlyWithTheLeftButton()
    {
        SkinnedWindow w(QStringLiteral(":/none.png"), QSize(300, 200));
        QCOMPARE(w.size(), QSize(300, 200));
        w.move(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint start = w.pos();

        auto send = [&w](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(&w, &e);
        };
        send(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
        send(QEvent::MouseMove, {40, 30}, Qt::NoButton, Qt::RightButton);
        send(QEvent::MouseButtonRelease, {40, 30}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(w.pos(), start);

        send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, {40, 30}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(w.pos(), start + QPoint(30, 20));
        send(QEvent::MouseMove, {60, 60}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(w.pos(), start + QPoint(30, 20));
    }

    void tempFolderEndsWithASeparator() { QVERIFY(GetTempFolder().endsWith(QLatin1Char('/'))); }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
