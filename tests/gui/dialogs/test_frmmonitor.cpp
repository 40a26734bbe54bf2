// The progress window and what a run tells the user, through the real windows with the real
// fastencc: the share done beside the sweep, the launcher entry, the summary in the status bar,
// the notification when the program is not in front (against a notification server on a
// session bus of the test's own), the failed row's reason for screen readers, and Escape.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/base/appstate.h"
#include "core/joblist/jobrows.h"
#include "core/run/runsummary.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/joblist.h"
#include "gui/mainwindow/statusbar.h"
#include "tests/support/loadedform.h"
#include "tests/support/mediafixtures.h"
#include "tests/support/sessionbus.h"
#include "tests/support/urlcatcher.h"

using namespace Sveltra;

class TestFrmMonitor : public QObject
{
    Q_OBJECT

private:
    // Before anything in the process opens the session bus.
    TestSupport::PrivateSessionBus m_bus;
    TestSupport::FakeNotifications m_notifications;
    TestSupport::LauncherWatcher m_launcher;
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void prepare(Form1 &form, const QString &out)
    {
        App().ChannelChoice = QStringLiteral("2- 单声道");
        App().QualityChoice = QStringLiteral("2- FM 广播音质");
        QVERIFY(QDir().mkpath(out));
        App().TargetFolder = out;
        form.txtOutput->setText(out);
    }

    QString messagePanel(Form1 &form) { return form.tbStatus->panel(StatusBar::SystemInformation)->text(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_bus.isUp(), "dbus-daemon did not start");
        QVERIFY(m_notifications.registerOn(m_bus.connect(QStringLiteral("notification server"))));
        QVERIFY(m_launcher.listenOn(m_bus.connect(QStringLiteral("dock"))));
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("a.wav")), 4.0));
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("b.wav")), 2.0, 44100, 1));
        QFile bad(path(QStringLiteral("bad.wav")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(100, 'x'));
        bad.close();
        App().EncoderProgram = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
    }

    // Two good files and one bad one while another window is in front: the share only grows and
    // ends at 100 on the window and the launcher entry, the status bar counts the outcome, the
    // notification says the same and opens the output folder, and the failed row's reason can
    // be read by a screen reader.
    void aRunEndsWithASummaryAndANotification()
    {
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.show();
        const QString out = path(QStringLiteral("out/"));
        prepare(form, out);
        form.AddMediaFile(path(QStringLiteral("a.wav")));
        form.AddMediaFile(path(QStringLiteral("b.wav")));
        form.ListView1->appendRow({QStringLiteral("bad.wav"), QStringLiteral("Bad"), m_dir.path() + QLatin1Char('/'),
                                   QStringLiteral("bad.wav"), QStringLiteral("00:00:01"), QStringLiteral("100")});
        QTRY_COMPARE(form.ListView1->rowCount(), 3);
        m_notifications.received.clear();
        m_launcher.updates.clear();

        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        QVERIFY(monitor);
        QProgressBar *share = monitor->findChild<QProgressBar *>(QStringLiteral("lblProgress"));
        QVERIFY(share);
        QCOMPARE(share->accessibleName(), QStringLiteral("总进度"));
        QCOMPARE(share->value(), 0);
        QList<int> shown;
        connect(share, &QProgressBar::valueChanged, this, [&shown](int v) { shown << v; });
        // The user turns to another program.
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(elsewhere.isActiveWindow());

        QSignalSpy unloaded(monitor, &frmMonitor::unloaded);
        QVERIFY(unloaded.wait(120000));
        QVERIFY(!shown.isEmpty());
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        QCOMPARE(shown.last(), 100);
        // The sweep went on beside it and the caption kept its own marks.
        QVERIFY(frmMonitor::ProgressValue % 5 == 0 && frmMonitor::ProgressValue < 100);

        QCOMPARE(form.ListView1->status(0), int(JobStatus::Done));
        QCOMPARE(form.ListView1->status(1), int(JobStatus::Done));
        QCOMPARE(form.ListView1->status(2), int(JobStatus::Failed));
        qint64 saved = 0;
        for (int row : {0, 1})
            saved += form.ListView1->cell(row, JobColumn::Size).toLongLong()
                - form.ListView1->cell(row, JobColumn::TargetSize).toLongLong();
        QVERIFY(saved > 0);
        // The output folder is one of its own: it gets the list of everything in it.
        const QString summary = QStringLiteral("完成 2 个，失败 1 个：") + form.ListView1->note(2) + QStringLiteral("，节省 ")
            + ByteSizeText(saved) + QStringLiteral("，写入播放列表 1 个");
        QCOMPARE(messagePanel(form), summary);
        QFile whole(out + QStringLiteral("全部歌曲.m3u8"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QCOMPARE(whole.readAll().count(".MP3\n"), 2);

        // The launcher entry followed the share and was taken away at the end.
        QTRY_VERIFY(!m_launcher.updates.isEmpty()
                    && !m_launcher.updates.last().properties.value(QStringLiteral("progress-visible")).toBool());
        double last = -1;
        for (const auto &update : std::as_const(m_launcher.updates)) {
            QCOMPARE(update.appUri, QStringLiteral("application://sveltra.desktop"));
            const double progress = update.properties.value(QStringLiteral("progress")).toDouble();
            QVERIFY(progress >= last && progress <= 1.0);
            last = progress;
        }
        QCOMPARE(last, 1.0);

        QTRY_COMPARE(m_notifications.received.size(), 1);
        const auto notification = m_notifications.received.first();
        QCOMPARE(notification.appName, QStringLiteral("Sveltra"));
        QCOMPARE(notification.body, summary);
        QCOMPARE(notification.actions, (QStringList{QStringLiteral("open-output-folder"), QStringLiteral("打开输出文件夹")}));

        // Its action opens the output folder, as the menu entry does.
        UrlCatcher files;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "open");
        m_notifications.invokeAction(notification.id, QStringLiteral("open-output-folder"));
        QTRY_COMPARE(files.urls.size(), 1);
        QCOMPARE(QDir(files.urls.first().toLocalFile()), QDir(out));
        m_notifications.invokeAction(notification.id + 100, QStringLiteral("open-output-folder")); // not ours
        QVERIFY(form.mnuOpenOutput->isEnabled());
        QCOMPARE(form.mnuOpenOutput->text(), QStringLiteral("打开输出文件夹"));
        form.mnuOpenOutput->trigger();
        QCOMPARE(files.urls.size(), 2);
        form.txtOutput->setText(path(QStringLiteral("missing")));
        form.mnuOpenOutput->trigger();
        QCOMPARE(files.urls.size(), 2);
        QCOMPARE(messagePanel(form), QStringLiteral("输出文件夹不存在"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        // A screen reader reads each row's state, the failed row's reason in Chinese.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(form.ListView1);
        QVERIFY(list && list->tableInterface());
        const auto described = [list](int row, int column) {
            QAccessibleInterface *cell = list->tableInterface()->cellAt(row, column);
            return cell ? cell->text(QAccessible::Description) : QStringLiteral("(no cell)");
        };
        QCOMPARE(described(0, JobColumn::Title), QStringLiteral("已完成"));
        QCOMPARE(described(2, JobColumn::Name), QStringLiteral("失败：源文件无法作为音频读取"));
        QCOMPARE(described(2, JobColumn::Source), described(2, JobColumn::Name));
        QCOMPARE(form.ListView1->topLevelItem(2)->toolTip(JobColumn::Title), QStringLiteral("源文件无法作为音频读取"));
    }

    // With the progress window in front, Escape stops the run as the exit picture does; the
    // summary counts the row left queued, and no notification goes out.
    void escapeStopsTheRunInFront()
    {
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.show();
        const QString out = path(QStringLiteral("stopped/"));
        prepare(form, out);
        const QString longWav = path(QStringLiteral("long.wav"));
        QVERIFY(TestMedia::makeTone(longWav, 900.0, 44100, 2, 330));
        form.AddMediaFile(longWav);
        QTRY_COMPARE(form.ListView1->rowCount(), 1);
        m_notifications.received.clear();

        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        monitor->activateWindow();
        QTRY_VERIFY(monitor->isActiveWindow());
        QSignalSpy unloaded(monitor, &frmMonitor::unloaded);
        QProgressBar *share = monitor->findChild<QProgressBar *>(QStringLiteral("lblProgress"));
        // The time left is shown once the encoder has said how far it is.
        QTRY_VERIFY_WITH_TIMEOUT(share->format().contains(QStringLiteral(" · 剩余 ")), 30000);
        QVERIFY(share->accessibleDescription().contains(QStringLiteral("剩余")));
        QTest::keyClick(monitor, Qt::Key_Escape);
        QVERIFY(unloaded.wait(10000));
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Queued));
        QCOMPARE(messagePanel(form), QStringLiteral("完成 0 个，失败 0 个，等待 1 个，节省 0 B"));
        QTest::qWait(200);
        QVERIFY(m_notifications.received.isEmpty());

        // Stopped in its first moment, before the run has begun: the summary says so all the same.
        form.tbStatus->panel(StatusBar::SystemInformation)->setText(QString());
        form.StartDiet();
        frmMonitor *early = form.monitorWindow();
        QSignalSpy earlyGone(early, &frmMonitor::unloaded);
        early->close();
        QTRY_COMPARE(earlyGone.count(), 1);
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Queued));
        QCOMPARE(messagePanel(form), QStringLiteral("完成 0 个，失败 0 个，等待 1 个，节省 0 B"));
    }

    // Closing the main window while the progress window hides it (the session ends, a window
    // list closes it) stops the run and ends the program, the settings written; the main
    // window is not shown again on the way out.
    void closingTheHiddenMainWindowStopsTheRunAndQuits()
    {
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.show();
        const QString out = path(QStringLiteral("closed/"));
        prepare(form, out);
        const QString longWav = path(QStringLiteral("long.wav"));
        if (!QFile::exists(longWav))
            QVERIFY(TestMedia::makeTone(longWav, 900.0, 44100, 2, 330));
        form.AddMediaFile(longWav);
        QTRY_COMPARE(form.ListView1->rowCount(), 1);

        form.StartDiet();
        QProgressBar *share = form.monitorWindow()->findChild<QProgressBar *>(QStringLiteral("lblProgress"));
        QTRY_VERIFY_WITH_TIMEOUT(share->format().contains(QStringLiteral(" · 剩余 ")), 30000);
        QVERIFY(form.isHidden());
        App().ChannelChoice = QStringLiteral("1- 立体声"); // changed during the run, kept all the same

        QTimer::singleShot(0, &form, [&form] { form.close(); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(60000);
        QCOMPARE(QApplication::exec(), 0);
        watchdog.stop();
        QVERIFY(form.isHidden());
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Queued));

        App() = ApplicationState();
        loaded.settings.LoadSettings(App());
        QCOMPARE(App().ChannelChoice, QStringLiteral("1- 立体声"));
        QCOMPARE(App().TargetFolder, out);
        App().EncoderProgram = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
    }
};

QTEST_MAIN(TestFrmMonitor)
#include "test_frmmonitor.moc"
