// The main window's commands that open the three skinned windows: each exists once, opening it
// again brings it forward, and the ones still open go with the main window.

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmabout.h"
#include "gui/dialogs/frmoption.h"
#include "gui/dialogs/frmupdate.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/skin/picturebutton.h"

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
};

QTEST_MAIN(TestWindowCommands)
#include "test_windowcommands.moc"
