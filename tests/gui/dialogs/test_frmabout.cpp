// The About box: its texts, the hidden picture, staying on top, and the main window held
// disabled until the box closes, whichever way it closes.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/base/appstate.h"
#include "gui/dialogs/frmabout.h"
#include "gui/skin/picturebutton.h"

using namespace Sveltra;

namespace {

// A stand-in main window with one button that counts its clicks.
struct MainWindow
{
    QWidget window;
    QPushButton *button = new QPushButton(QStringLiteral("添加"), &window);
    int clicks = 0;

    MainWindow()
    {
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        window.show();
    }
    bool acceptsInput()
    {
        const int before = clicks;
        QTest::mouseClick(button, Qt::LeftButton);
        return clicks == before + 1;
    }
};

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT

private slots:
    void textsAndTheHiddenPicture()
    {
        App().BuildNumber = QStringLiteral("040300");
        MainWindow main;
        frmAbout about(&main.window);
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("版本 04.03.00"));
        QCOMPARE(about.lblBuild->text(), QStringLiteral("内部版本:040300"));
        QCOMPARE(about.lblVersion->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!about.parentWidget()); // no owner: disabling the main window leaves the box alone
        QCOMPARE(about.imgExit->accessibleName(), QStringLiteral("关闭"));

        QVERIFY(about.imgMe->isHidden());
        QTest::mouseClick(about.Image1, Qt::LeftButton);
        QTest::mouseClick(about.Image1, Qt::LeftButton); // twice: still shown
        QVERIFY(about.imgMe->isVisible());
        QTest::mouseClick(about.imgMe, Qt::LeftButton);
        QVERIFY(about.imgMe->isHidden());
        QVERIFY(about.isVisible());

        // From the keyboard, focus follows the picture so the same key hides it again.
        about.Image1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(about.Image1, Qt::Key_Return);
        QVERIFY(about.imgMe->showsFocusFrame());
        QTest::keyClick(about.imgMe, Qt::Key_Space);
        QVERIFY(about.imgMe->isHidden());
    }

    void mainWindowIsHeldUntilTheBoxCloses_data()
    {
        QTest::addColumn<QString>("route");
        for (const char *route : {"imgExit", "background", "Esc", "close", "delete"})
            QTest::newRow(route) << QString::fromLatin1(route);
    }

    void mainWindowIsHeldUntilTheBoxCloses()
    {
        QFETCH(QString, route);
        MainWindow main;
        auto *about = new frmAbout(&main.window);
        about->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<frmAbout> guard(about);
        about->show();
        QVERIFY(!main.acceptsInput());

        // Clicks on a label or with the right button are not clicks on the background.
        QTest::mouseClick(about->lblVersion, Qt::LeftButton);
        QTest::mouseClick(about, Qt::RightButton, {}, QPoint(30, 120));
        QVERIFY(about->isVisible());

        if (route == QLatin1String("imgExit"))
            QTest::mouseClick(about->imgExit, Qt::LeftButton);
        else if (route == QLatin1String("background"))
            QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(30, 120));
        else if (route == QLatin1String("Esc"))
            QTest::keyClick(about, Qt::Key_Escape);
        else if (route == QLatin1String("close"))
            about->close();
        else
            delete about;
        QTRY_VERIFY(!guard);
        QVERIFY(main.acceptsInput());
    }
};

QTEST_MAIN(TestFrmAbout)
#include "test_frmabout.moc"
