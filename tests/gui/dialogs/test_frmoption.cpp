// The options dialog through its real widgets: what it shows for a profile, stepping with
// wrap-around, the status bar following at once, the press feedback, damaged settings, and OK
// and close keeping the choices.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "core/base/appstate.h"
#include "core/profile/profile.h"
#include "gui/dialogs/frmoption.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/skin/picturebutton.h"

using namespace Sveltra;

namespace {

bool samePicture(const QPixmap &a, const QPixmap &b)
{
    return !a.isNull() && a.toImage() == b.toImage();
}

// A dialog wired to a status bar of its own, counting the refreshes.
struct Dialog
{
    StatusBar status;
    int refreshes = 0;
    frmOption dialog{[this] {
        status.RefreshStatusBar(App());
        ++refreshes;
    }};

    PictureButton *arrow(int i) { return dialog.findChild<PictureButton *>(QStringLiteral("imgArrow%1").arg(i)); }
    PictureButton *icon(int g) { return dialog.findChild<PictureButton *>(QStringLiteral("imgIcon%1").arg(g)); }
    void click(QWidget *w, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(w, Qt::LeftButton);
    }
};

} // namespace

class TestFrmOption : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        App() = ApplicationState();
        App().DeviceChoice = QStringLiteral("1- MP3 播放器");
        App().QualityChoice = QStringLiteral("1- CD 音质");
        App().ChannelChoice = QStringLiteral("1- 立体声");
        App().FormatChoice = QStringLiteral("1- MP3");
    }

    void opensOnTheProfileWithNamedControls()
    {
        {
            Dialog defaults;
            QCOMPARE(defaults.dialog.lblSummary->text(),
                     QStringLiteral("您的播放器是 - MP3 播放器.  您想要的音质是 - CD 音质.  "
                                    "您需要的格式是 - MP3.  您喜欢 - 立体声效果."));
        }
        App().DeviceChoice = QStringLiteral("3- Pocket PC");
        Dialog d;
        QCOMPARE(d.dialog.windowTitle(), QStringLiteral("Sveltra 选项"));
        QVERIFY(samePicture(d.icon(0)->picture(), frmOption::ilstIcon(9))); // Pocket PC
        QVERIFY(samePicture(d.icon(1)->picture(), frmOption::ilstIcon(3))); // CD quality
        QCOMPARE(d.dialog.lblDevice->text(), QStringLiteral(" Pocket PC"));
        QCOMPARE(d.status.panel(StatusBar::MyDevice)->text(), QStringLiteral("Pocket PC"));

        const QStringList names = {QStringLiteral("设备"), QStringLiteral("音质"), QStringLiteral("效果"),
                                   QStringLiteral("格式")};
        for (int g = 0; g < 4; ++g) {
            auto name = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
            QCOMPARE(name(d.icon(g)), names[g]);
            QCOMPARE(name(d.arrow(2 * g)), QStringLiteral("下一个") + names[g]);
            QCOMPARE(name(d.arrow(2 * g + 1)), QStringLiteral("上一个") + names[g]);
            QVERIFY(samePicture(d.arrow(2 * g)->picture(), frmOption::ilstButton(1)));
            QVERIFY(samePicture(d.arrow(2 * g + 1)->picture(), frmOption::ilstButton(3)));
            QCOMPARE(d.arrow(2 * g)->cursor().shape(), Qt::BitmapCursor); // the hand, picture 9
        }
        QCOMPARE(d.dialog.imgButton[0]->accessibleName(), QStringLiteral("确定"));
        QCOMPARE(d.dialog.imgExit->accessibleName(), QStringLiteral("关闭"));
        QCOMPARE(d.dialog.imgExit->toolTip(), QStringLiteral("单击关闭选项对话框"));
    }

    void steppingWrapsAroundAndTheStatusBarFollows()
    {
        Dialog d;
        d.dialog.show();
        d.click(d.arrow(0), 5);
        QCOMPARE(App().DeviceChoice, QStringLiteral("1- MP3 播放器"));
        d.click(d.arrow(1));
        QCOMPARE(App().DeviceChoice, QStringLiteral("5- 其它 MP3 设备"));
        d.click(d.icon(0)); // a click on the picture steps forward
        QCOMPARE(App().DeviceChoice, QStringLiteral("1- MP3 播放器"));
        d.click(d.arrow(3));
        QCOMPARE(App().QualityChoice, QStringLiteral("4- 电话音质"));
        QVERIFY(samePicture(d.icon(1)->picture(), frmOption::ilstIcon(6)));

        const int before = d.refreshes;
        d.click(d.arrow(4));
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->text(), QStringLiteral("单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->picture(), 11);
        QCOMPARE(d.refreshes, before + 1);
        QVERIFY(d.dialog.isVisible());
        QVERIFY(d.dialog.lblSummary->text().endsWith(QStringLiteral("您喜欢 - 单声道效果.")));

        for (QWidget *w :
             {static_cast<QWidget *>(d.arrow(6)), static_cast<QWidget *>(d.arrow(7)), static_cast<QWidget *>(d.icon(3))}) {
            d.click(w);
            QCOMPARE(App().FormatChoice, QStringLiteral("1- MP3")); // one position only
        }
    }

    void pressFeedbackLeftButtonOnlyAndKeyboard()
    {
        Dialog d;
        d.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&d.dialog));
        PictureButton *forward = d.arrow(2);
        QTest::mousePress(forward, Qt::LeftButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(2)));
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质")); // the step comes with the click
        QTest::mouseRelease(forward, Qt::LeftButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(1)));
        QCOMPARE(App().QualityChoice, QStringLiteral("2- FM 广播音质"));
        QVERIFY(!forward->hasFocus()); // the mouse leaves no focus frame on the skin
        QTest::mousePress(d.arrow(3), Qt::LeftButton);
        QVERIFY(samePicture(d.arrow(3)->shownPicture(), frmOption::ilstButton(4)));
        QTest::mouseRelease(d.arrow(3), Qt::LeftButton);
        QTest::mouseClick(forward, Qt::RightButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(1)));
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质"));

        d.arrow(0)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d.arrow(0), Qt::Key_Space);
        QCOMPARE(App().DeviceChoice, QStringLiteral("2- Palm PDA"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d.icon(1)); // the next group, in reading order
        QVERIFY(d.icon(1)->showsFocusFrame());
        QTest::keyClick(d.icon(1), Qt::Key_Return);
        QCOMPARE(App().QualityChoice, QStringLiteral("2- FM 广播音质"));

        QTest::mousePress(d.dialog.imgButton[0], Qt::LeftButton);
        QVERIFY(samePicture(d.dialog.imgButton[0]->shownPicture(), frmOption::ilstButton(6)));
        QTest::mouseRelease(d.dialog.imgButton[0], Qt::LeftButton);
        QVERIFY(!d.dialog.isVisible());
    }

    void okCloseAndEscKeepTheChoices_data()
    {
        QTest::addColumn<QString>("route");
        for (const char *route : {"imgButton0", "imgExit", "Esc"})
            QTest::newRow(route) << QString::fromLatin1(route);
    }

    void okCloseAndEscKeepTheChoices()
    {
        QFETCH(QString, route);
        Dialog d;
        d.dialog.show();
        d.click(d.arrow(4));
        d.status.panel(StatusBar::Effect)->setText(QStringLiteral("stale"));
        if (route == QLatin1String("Esc"))
            QTest::keyClick(&d.dialog, Qt::Key_Escape);
        else
            d.click(d.dialog.findChild<PictureButton *>(route));
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->text(), QStringLiteral("单声道")); // refreshed on closing
    }

    void damagedSettingsShowSomethingAndNeverFail()
    {
        App().DeviceChoice = QStringLiteral("2- Palm P?A"); // a damaged name part is made canonical
        App().QualityChoice = QStringLiteral("9- 坏的");    // outside the list
        App().ChannelChoice = QStringLiteral("坏的");       // no number: index -1
        Dialog d;
        QCOMPARE(App().DeviceChoice, QStringLiteral("2- Palm PDA"));
        QCOMPARE(App().QualityChoice, QStringLiteral("9- 坏的")); // kept, not invented
        QVERIFY(d.icon(1)->picture().isNull());                   // no other group's picture
        QCOMPARE(d.dialog.lblQuality->text(), QStringLiteral(" 坏的"));
        QCOMPARE(d.status.panel(StatusBar::Quality)->picture(), Profile::UnknownChoicePicture);

        d.click(d.arrow(2)); // forward from above the list: the first
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质"));
        d.click(d.arrow(5)); // backward from below 0: the last
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));

        App().DeviceChoice = QStringLiteral("7- x");
        Dialog e;
        e.click(e.arrow(1)); // backward from above the list steps down by one, still outside
        QCOMPARE(App().DeviceChoice, QStringLiteral("7- x"));
        e.click(e.arrow(1));
        QCOMPARE(App().DeviceChoice, QStringLiteral("5- 其它 MP3 设备"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no group 4")));
        e.dialog.SetIconImage(4, 0);
    }
};

QTEST_MAIN(TestFrmOption)
#include "test_frmoption.moc"
