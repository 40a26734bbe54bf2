// The About box: its texts, the hidden picture, staying on top, and the main window held
// disabled until the box closes, whichever way it closes.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/appstate.h"
#include "skin/picturebutton.h"
#include "update/frmabout.h"

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
        window.resize(300, 200);
        button->setGeometry(10, 10, 100, 30);
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
    void init() { App().BuildNumber = QStringLiteral("040300"); }

    void showsVersionAndBuildOnTop()
    {
        MainWindow main;
        frmAbout about(&main.window);
        about.show();
        QCOMPARE(about.lblVersion->text(), QStringLiteral("版本 04.03.00"));
        QCOMPARE(about.lblBuild->text(), QStringLiteral("内部版本:040300"));
        QCOMPARE(about.lblVersion->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QVERIFY(about.lblVersion->font().bold());
        QVERIFY(about.lblBuild->font().bold());
        QCOMPARE(about.lblVersion->geometry(), QRect(72, 152, 185, 25));
        QCOMPARE(about.lblBuild->geometry(), QRect(20, 236, 117, 21));
        QCOMPARE(about.imgExit->geometry(), QRect(296, 8, 22, 22));
        QCOMPARE(about.Image1->geometry(), QRect(312, 248, 9, 9));
        QCOMPARE(about.imgMe->geometry(), QRect(80, 76, 182, 127));
        QCOMPARE(about.size(), QSize(339, 277));
        QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!about.parentWidget()); // no owner
        QVERIFY(about.imgMe->isHidden());
        QVERIFY(about.isEnabled());

        QCOMPARE(QAccessible::queryAccessibleInterface(about.imgExit)->text(QAccessible::Name), QStringLiteral("关闭"));
        QVERIFY(!about.Image1->accessibleName().isEmpty());
        QVERIFY(!about.imgMe->accessibleName().isEmpty());
    }

    void hiddenPictureComesAndGoes()
    {
        MainWindow main;
        frmAbout about(&main.window);
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QTest::mouseClick(about.Image1, Qt::LeftButton);
        QVERIFY(about.imgMe->isVisible());
        QTest::mouseClick(about.Image1, Qt::LeftButton); // twice: still shown
        QVERIFY(about.imgMe->isVisible());
        QTest::mouseClick(about.imgMe, Qt::LeftButton);
        QVERIFY(about.imgMe->isHidden());
        QVERIFY(about.isVisible()); // none of this closes the box
        QVERIFY(!about.Image1->hasFocus()); // a click leaves no focus frame on the skin
        QTest::mouseClick(about.imgMe, Qt::LeftButton);

        // From the keyboard: focus follows the picture, so the same key hides it again.
        about.Image1->setFocus(Qt::TabFocusReason);
        QVERIFY(about.Image1->showsFocusFrame());
        QTest::keyClick(about.Image1, Qt::Key_Return);
        QVERIFY(about.imgMe->isVisible());
        QVERIFY(about.imgMe->showsFocusFrame());
        QTest::keyClick(about.imgMe, Qt::Key_Space);
        QVERIFY(about.imgMe->isHidden());
        QVERIFY(about.Image1->showsFocusFrame());
    }

    void mainWindowIsHeldUntilTheBoxCloses_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("close button") << QStringLiteral("imgExit");
        QTest::newRow("background click") << QStringLiteral("background");
        QTest::newRow("Esc") << QStringLiteral("escape");
        QTest::newRow("window manager") << QStringLiteral("close");
        QTest::newRow("deleted") << QStringLiteral("delete");
    }

    void mainWindowIsHeldUntilTheBoxCloses()
    {
        QFETCH(QString, route);
        MainWindow main;
        QVERIFY(main.acceptsInput());
        auto *about = new frmAbout(&main.window);
        about->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<frmAbout> guard(about);
        about->show();
        QVERIFY(!main.window.isEnabled());
        QVERIFY(!main.acceptsInput());

        // Clicks that are not on the background leave it open.
        QTest::mouseClick(about->lblVersion, Qt::LeftButton);
        QTest::mouseClick(about, Qt::RightButton, {}, QPoint(30, 120));
        QVERIFY(about->isVisible());
        QVERIFY(!main.acceptsInput());

        if (route == QLatin1String("imgExit"))
            QTest::mouseClick(about->imgExit, Qt::LeftButton);
        else if (route == QLatin1String("background"))
            QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(30, 120));
        else if (route == QLatin1String("escape"))
            QTest::keyClick(about, Qt::Key_Escape);
        else if (route == QLatin1String("close"))
            about->close();
        else
            delete about;
        QTRY_VERIFY(!guard);
        QVERIFY(main.window.isEnabled());
        QVERIFY(main.acceptsInput());
    }

    void mainWindowGoneFirstIsHarmless()
    {
        auto *main = new MainWindow;
        frmAbout about(&main->window);
        delete main;
        about.close();
    }
};

QTEST_MAIN(TestFrmAbout)
#include "test_frmabout.moc"
