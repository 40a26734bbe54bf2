// The main window's commands that open the three skinned windows: each exists once, opening it
// again brings it forward, and the ones still open go with the main window. The job list's
// context menu and keys, and the output folder chooser.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/joblist/jobrows.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmabout.h"
#include "gui/dialogs/frmoption.h"
#include "gui/dialogs/frmupdate.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/joblist.h"
#include "gui/mainwindow/joblistmenu.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/skin/picturebutton.h"
#include "tests/support/boxanswerer.h"
#include "tests/support/loadedform.h"
#include "tests/support/urlcatcher.h"

using namespace Sveltra;

namespace {

template <typename T>
QList<T *> open()
{
    QList<T *> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w))
            windows << t;
    return windows;
}

} // namespace

class TestWindowCommands : public QObject
{
    Q_OBJECT

private slots:
    void eachWindowOnceAndGoneWithTheMainWindow()
    {
        QTemporaryDir dir;
        SettingsFile settings(dir.filePath(QStringLiteral("Sveltra.ini")));
        InstanceGuard guard(dir.filePath(QStringLiteral("sveltra.lock")));
        {
            Form1 form(settings, guard);
            QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
            form.show();
            auto *status = form.findChild<StatusBar *>(QStringLiteral("tbStatus"));

            form.mnuOption->trigger();
            QCOMPARE(open<frmOption>().size(), 1);
            frmOption *dialog = open<frmOption>().first();
            QTest::mouseClick(dialog->imgArrow[4], Qt::LeftButton);
            QCOMPARE(status->panel(StatusBar::Effect)->text(), QStringLiteral("单声道"));
            form.Toolbar1_ButtonClick(QStringLiteral("Options")); // brought forward, not made again
            QCOMPARE(open<frmOption>(), QList<frmOption *>{dialog});
            QCOMPARE(dialog->ChannelIndex, 1);

            form.mnuCheck->trigger();
            form.mnuCheck->trigger();
            QCOMPARE(open<frmUpdate>().size(), 1);
            frmUpdate *update = open<frmUpdate>().first();
            QVERIFY(!update->parentWidget());
            update->Timer2->stop(); // no check against the real site
            update->Command5->click();
            QVERIFY(HelpWindow::existing());
            QCOMPARE(HelpWindow::existing()->currentTopic(), QStringLiteral("Sveltra.htm"));

            form.mnuAbout->trigger();
            QCOMPARE(open<frmAbout>().size(), 1);
            QVERIFY(!form.isEnabled());
            QTest::mouseClick(open<frmAbout>().first()->imgExit, Qt::LeftButton);
            QTRY_VERIFY(open<frmAbout>().isEmpty());
            QVERIFY(form.isEnabled());
            form.mnuAbout->trigger();
        }
        QVERIFY(open<frmOption>().isEmpty());
        QVERIFY(open<frmUpdate>().isEmpty());
        QVERIFY(open<frmAbout>().isEmpty());
    }

    // Right button, menu key or Shift+F10 open the job list's menu; its entries act on the
    // current row and are greyed out where they cannot; Delete removes the selected rows; the
    // menu and the new menu entry have names a screen reader reads, and rows say their state.
    void jobListMenuAndKeys()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        QFile target(dir.filePath(QStringLiteral("D-CD-a.MP3")));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("ID3");
        target.close();
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        JobList *list = form.ListView1;
        form.show();
        form.activateWindow();
        QTRY_VERIFY(form.isActiveWindow());

        list->appendRow({QStringLiteral("a.wav"), QStringLiteral("A"), folder, QStringLiteral("a.wav")}, JobStatus::Done);
        list->setCell(0, JobColumn::Target, target.fileName());
        list->appendRow(
            {QStringLiteral("b.wav"), QStringLiteral("B"), QStringLiteral("/no/such/folder/"), QStringLiteral("b.wav")});
        list->appendRow({QStringLiteral("c.wav"), QStringLiteral("C"), folder, QStringLiteral("c.wav")});
        list->appendRow({QStringLiteral("d.wav"), QStringLiteral("D"), folder, QStringLiteral("d.wav")}, JobStatus::Failed);
        list->setNote(3, QStringLiteral("编码失败"));

        auto *menu = list->findChild<JobListMenu *>();
        QVERIFY(menu);
        QCOMPARE(menu->menu()->objectName(), QStringLiteral("mnuJobList"));
        QStringList texts;
        for (QAction *action : menu->menu()->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts,
                 (QStringList{QStringLiteral("移除"), QStringLiteral("重新压缩"), QStringLiteral("打开所在文件夹"),
                              QStringLiteral("打开输出文件")}));
        QCOMPARE(menu->removeAction()->shortcut(), QKeySequence(QKeySequence::Delete));
        QCOMPARE(form.mnuOpenOutput->text(), QStringLiteral("打开输出文件夹"));
        QVERIFY(form.mnuAction->actions().contains(form.mnuOpenOutput));

        // Nothing selected: nothing to act on.
        QCOMPARE(menu->actionRow(), -1);
        QVERIFY(!menu->removeAction()->isEnabled());
        QVERIFY(!menu->openFolderAction()->isEnabled());

        UrlCatcher files;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "open");
        list->setCurrentItem(list->topLevelItem(0));
        QCOMPARE(menu->actionRow(), 0);
        QVERIFY(menu->openFolderAction()->isEnabled());
        QVERIFY(menu->openTargetAction()->isEnabled());
        menu->openFolderAction()->trigger();
        menu->openTargetAction()->trigger();
        QCOMPARE(files.urls.size(), 2);
        QCOMPARE(QDir(files.urls[0].toLocalFile()), QDir(dir.path()));
        QCOMPARE(files.urls[1].toLocalFile(), target.fileName());
        // A queued row has no output yet, and a missing folder cannot be opened.
        list->setCurrentItem(list->topLevelItem(1));
        QVERIFY(!menu->openFolderAction()->isEnabled());
        QVERIFY(!menu->openTargetAction()->isEnabled());
        menu->openFolderAction()->trigger();
        QCOMPARE(files.urls.size(), 2);
        // A converted file that has gone since is not offered.
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(QFile::remove(target.fileName()));
        menu->updateActions();
        QVERIFY(!menu->openTargetAction()->isEnabled());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        // From the mouse and from the keyboard.
        const QPoint onRow(20, list->visualItemRect(list->topLevelItem(2)).center().y());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onRow);
        // The right button (or the menu key), as the window system reports it.
        QContextMenuEvent byMouse(QContextMenuEvent::Mouse, onRow, list->viewport()->mapToGlobal(onRow));
        QApplication::sendEvent(list->viewport(), &byMouse);
        QTRY_VERIFY(menu->menu()->isVisible());
        QCOMPARE(menu->actionRow(), 2);
        menu->menu()->close();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->menu()->isVisible());
        QTest::keyClick(menu->menu(), Qt::Key_Escape);
        QTRY_VERIFY(!menu->menu()->isVisible());

        // A screen reader reads each row's state, with the reason of a failure.
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(list);
        QVERIFY(table && table->tableInterface());
        const auto described = [table](int row) {
            return table->tableInterface()->cellAt(row, JobColumn::Title)->text(QAccessible::Description);
        };
        QCOMPARE(described(0), QStringLiteral("已完成"));
        QCOMPARE(described(1), QStringLiteral("等待"));
        QCOMPARE(described(3), QStringLiteral("失败：编码失败"));

        // Delete removes the selected rows, like "移除".
        list->topLevelItem(1)->setSelected(true);
        list->topLevelItem(2)->setSelected(true);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->cell(0, JobColumn::Source), QStringLiteral("a.wav"));
        QCOMPARE(list->cell(1, JobColumn::Source), QStringLiteral("d.wav"));
        // Not while another area has the focus.
        list->topLevelItem(0)->setSelected(true);
        form.txtOutput->setFocus();
        QTest::keyClick(form.txtOutput, Qt::Key_Delete);
        QCOMPARE(list->rowCount(), 2);

        // With nothing queued, "开始压缩" says so and starts nothing.
        form.txtOutput->setText(folder);
        const QStringList said = TestSupport::BoxAnswerer::answering([&] { form.StartDiet(); });
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].endsWith(QStringLiteral("|没有等待压缩的文件")), qPrintable(said[0]));
        QVERIFY(!form.monitorWindow());

        // "重新压缩" queues the selected done and failed rows again, their old outcome cleared;
        // a queued row alone offers nothing to do.
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(1)->setSelected(true);
        menu->updateActions();
        QVERIFY(menu->requeueAction()->isEnabled());
        menu->requeueAction()->trigger();
        for (int row : {0, 1}) {
            QCOMPARE(list->status(row), int(JobStatus::Queued));
            QCOMPARE(list->note(row), QString());
            QCOMPARE(list->cell(row, JobColumn::Target), QString());
            QVERIFY(list->reconvert(row));
        }
        QVERIFY(!menu->requeueAction()->isEnabled());
        QVERIFY(list->IsDuplicate(folder + QStringLiteral("d.wav")));
    }

    // The output button's folder chooser opens at the folder in the output box.
    void folderChooserOpensAtTheOutputFolder()
    {
        QTemporaryDir dir;
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        form.txtOutput->setText(dir.path());
        QString opened;
        TestSupport::BoxAnswerer answer([&opened](QWidget *window) {
            if (auto *chooser = qobject_cast<QFileDialog *>(window))
                opened = chooser->directory().absolutePath();
            window->close();
        });
        form.Command1->click();
        QCOMPARE(QDir(opened), QDir(dir.path()));
        QCOMPARE(form.txtOutput->text(), dir.path()); // cancelled: the box keeps its folder
    }
};

QTEST_MAIN(TestWindowCommands)
#include "test_windowcommands.moc"
