// The options dialog through its real widgets: what it shows for a profile, stepping with
// wrap-around, the status bar following at once, the press feedback, damaged settings, and OK
// and close keeping the choices.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "app/appstate.h"
#include "profile/frmoption.h"
#include "profile/profile.h"
#include "profile/statusbar.h"
#include "skin/picturebutton.h"

using namespace Sveltra;

namespace {

void setDefaults()
{
    App() = ApplicationState();
    App().DeviceChoice = QStringLiteral("1- MP3 播放器");
    App().QualityChoice = QStringLiteral("1- CD 音质");
    App().ChannelChoice = QStringLiteral("1- 立体声");
    App().FormatChoice = QStringLiteral("1- MP3");
}

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
    PictureButton *icon(int i) { return dialog.findChild<PictureButton *>(QStringLiteral("imgIcon%1").arg(i)); }
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
    void init() { setDefaults(); }

    void opensOnTheProfileWithItsPictures()
    {
        App().DeviceChoice = QStringLiteral("3- Pocket PC");
        Dialog d;
        d.dialog.show();
        QCOMPARE(d.dialog.windowTitle(), QStringLiteral("Sveltra 选项"));
        QVERIFY(d.dialog.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(samePicture(d.icon(0)->picture(), frmOption::ilstIcon(9))); // Pocket PC
        QVERIFY(samePicture(d.icon(1)->picture(), frmOption::ilstIcon(3))); // CD quality
        QVERIFY(samePicture(d.icon(2)->picture(), frmOption::ilstIcon(1))); // stereo
        QVERIFY(samePicture(d.icon(3)->picture(), frmOption::ilstIcon(12))); // MP3
        QCOMPARE(d.dialog.lblDevice->text(), QStringLiteral(" Pocket PC"));
        QCOMPARE(d.dialog.lblQuality->text(), QStringLiteral(" CD 音质"));
        QCOMPARE(d.dialog.lblEffect->text(), QStringLiteral(" 立体声"));
        QCOMPARE(d.dialog.lblFormat->text(), QStringLiteral(" MP3"));
        QCOMPARE(d.status.panel(StatusBar::MyDevice)->text(), QStringLiteral("Pocket PC"));
        QCOMPARE(d.status.panel(StatusBar::MyDevice)->picture(), 3);

        setDefaults();
        Dialog defaults;
        QCOMPARE(defaults.dialog.lblSummary->text(),
                 QStringLiteral("您的播放器是 - MP3 播放器.  您想要的音质是 - CD 音质.  您需要的格式是 - MP3.  您喜欢 - 立体声效果."));
    }

    void controlsCarryTheirNamesPicturesAndCursor()
    {
        Dialog d;
        const QStringList arrowNames = {QStringLiteral("下一个设备"), QStringLiteral("上一个设备"), QStringLiteral("下一个音质"),
                                        QStringLiteral("上一个音质"), QStringLiteral("下一个效果"), QStringLiteral("上一个效果"),
                                        QStringLiteral("下一个格式"), QStringLiteral("上一个格式")};
        const QStringList iconNames = {QStringLiteral("设备"), QStringLiteral("音质"), QStringLiteral("效果"), QStringLiteral("格式")};
        for (int i = 0; i < 8; ++i) {
            PictureButton *a = d.arrow(i);
            QVERIFY(a);
            QCOMPARE(a, d.dialog.imgArrow[std::size_t(i)]);
            QCOMPARE(QAccessible::queryAccessibleInterface(a)->text(QAccessible::Name), arrowNames[i]);
            QVERIFY(samePicture(a->picture(), frmOption::ilstButton(i % 2 ? 3 : 1)));
            QCOMPARE(a->cursor().shape(), Qt::BitmapCursor); // the hand, picture 9
            QVERIFY(a->focusPolicy() & Qt::TabFocus);
        }
        for (int g = 0; g < 4; ++g)
            QCOMPARE(QAccessible::queryAccessibleInterface(d.icon(g))->text(QAccessible::Name), iconNames[g]);
        auto *ok = d.dialog.findChild<PictureButton *>(QStringLiteral("imgButton0"));
        QCOMPARE(ok->accessibleName(), QStringLiteral("确定"));
        QVERIFY(samePicture(ok->picture(), frmOption::ilstButton(5)));
        auto *exit = d.dialog.findChild<PictureButton *>(QStringLiteral("imgExit"));
        QCOMPARE(exit->accessibleName(), QStringLiteral("关闭"));
        QCOMPARE(exit->toolTip(), QStringLiteral("单击关闭选项对话框"));
        QVERIFY(d.dialog.findChild<QLabel *>(QStringLiteral("lblSummary")));
        // Where the skin's background was drawn for them.
        QCOMPARE(d.dialog.size(), QSize(400, 330));
        QCOMPARE(d.icon(2)->geometry(), QRect(84, 180, 48, 48));
        QCOMPARE(d.arrow(2)->geometry(), QRect(328, 86, 24, 24));
        QCOMPARE(d.arrow(7)->geometry(), QRect(232, 192, 24, 24));
        QCOMPARE(d.dialog.lblFormat->geometry(), QRect(212, 234, 160, 18));
        QCOMPARE(d.dialog.lblSummary->geometry(), QRect(24, 272, 262, 42));
        QCOMPARE(ok->geometry(), QRect(302, 279, 80, 28));
        QCOMPARE(exit->geometry(), QRect(368, 8, 22, 22));
        QVERIFY(frmOption::ilstIcon(15).isNull());
        QVERIFY(frmOption::ilstIcon(0).isNull());
    }

    void steppingWrapsAroundEveryList()
    {
        Dialog d;
        d.click(d.arrow(0), 5);
        QCOMPARE(App().DeviceChoice, QStringLiteral("1- MP3 播放器"));
        d.click(d.arrow(1));
        QCOMPARE(App().DeviceChoice, QStringLiteral("5- 其它 MP3 设备"));
        QVERIFY(samePicture(d.icon(0)->picture(), frmOption::ilstIcon(11)));
        d.click(d.icon(0)); // a click on the picture steps forward
        QCOMPARE(App().DeviceChoice, QStringLiteral("1- MP3 播放器"));

        d.click(d.arrow(3));
        QCOMPARE(App().QualityChoice, QStringLiteral("4- 电话音质"));
        QCOMPARE(d.status.panel(StatusBar::Quality)->picture(), 9);
        d.click(d.arrow(2), 2);
        QCOMPARE(App().QualityChoice, QStringLiteral("2- FM 广播音质"));
        QVERIFY(samePicture(d.icon(1)->picture(), frmOption::ilstIcon(4)));

        // The format has one position: every way of stepping it leaves "1- MP3".
        for (QWidget *w : {static_cast<QWidget *>(d.arrow(6)), static_cast<QWidget *>(d.arrow(7)),
                           static_cast<QWidget *>(d.icon(3))}) {
            d.click(w);
            QCOMPARE(App().FormatChoice, QStringLiteral("1- MP3"));
            QCOMPARE(d.dialog.FormatIndex, 0);
        }
        QCOMPARE(d.dialog.lblSummary->text(),
                 QStringLiteral("您的播放器是 - MP3 播放器.  您想要的音质是 - FM 广播音质.  您需要的格式是 - MP3.  您喜欢 - 立体声效果."));
    }

    void statusBarFollowsEachStepAtOnce()
    {
        Dialog d;
        d.dialog.show();
        const int before = d.refreshes;
        d.click(d.arrow(4));
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->text(), QStringLiteral("单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->picture(), 11);
        QCOMPARE(d.refreshes, before + 1);
        QVERIFY(d.dialog.isVisible());
        QVERIFY(d.dialog.lblSummary->text().endsWith(QStringLiteral("您喜欢 - 单声道效果.")));
        QCOMPARE(d.dialog.lblEffect->text(), QStringLiteral(" 单声道"));
        QVERIFY(samePicture(d.icon(2)->picture(), frmOption::ilstIcon(2)));
    }

    void pressFeedbackIsForTheLeftButtonOnly()
    {
        Dialog d;
        d.dialog.show();
        PictureButton *forward = d.arrow(2), *backward = d.arrow(3);
        QTest::mousePress(forward, Qt::LeftButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(2)));
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质")); // the step comes with the click
        QTest::mouseRelease(forward, Qt::LeftButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(1)));
        QCOMPARE(App().QualityChoice, QStringLiteral("2- FM 广播音质"));

        QTest::mousePress(backward, Qt::LeftButton);
        QVERIFY(samePicture(backward->shownPicture(), frmOption::ilstButton(4)));
        QTest::mouseRelease(backward, Qt::LeftButton);
        QVERIFY(samePicture(backward->shownPicture(), frmOption::ilstButton(3)));

        QTest::mousePress(forward, Qt::RightButton);
        QVERIFY(samePicture(forward->shownPicture(), frmOption::ilstButton(1)));
        QTest::mouseRelease(forward, Qt::RightButton);
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质"));

        auto *ok = d.dialog.imgButton[0];
        QTest::mousePress(ok, Qt::LeftButton);
        QVERIFY(samePicture(ok->shownPicture(), frmOption::ilstButton(6)));
        QTest::mouseRelease(ok, Qt::LeftButton);
        QVERIFY(samePicture(ok->shownPicture(), frmOption::ilstButton(5)));
        QVERIFY(!d.dialog.isVisible());
    }

    void keyboardReachesEveryStep()
    {
        Dialog d;
        d.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&d.dialog));
        QTest::mouseClick(d.arrow(2), Qt::LeftButton);
        QVERIFY(!d.arrow(2)->hasFocus()); // the mouse leaves no focus frame on the skin
        d.arrow(0)->setFocus(Qt::TabFocusReason);
        QVERIFY(d.arrow(0)->showsFocusFrame());
        QTest::keyClick(d.arrow(0), Qt::Key_Space);
        QCOMPARE(App().DeviceChoice, QStringLiteral("2- Palm PDA"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d.icon(1)); // next group, in reading order
        QVERIFY(d.icon(1)->showsFocusFrame());
        QTest::keyClick(d.icon(1), Qt::Key_Return);
        QCOMPARE(App().QualityChoice, QStringLiteral("3- 磁带音质"));
        QTest::keyClick(&d.dialog, Qt::Key_Escape);
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(App().QualityChoice, QStringLiteral("3- 磁带音质"));
    }

    void okAndCloseBothKeepTheChoices_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK") << QStringLiteral("imgButton0");
        QTest::newRow("close") << QStringLiteral("imgExit");
    }

    void okAndCloseBothKeepTheChoices()
    {
        QFETCH(QString, button);
        Dialog d;
        d.dialog.show();
        d.click(d.arrow(4));
        App().ChannelChoice = QStringLiteral("2- 单声道");
        d.status.panel(StatusBar::Effect)->setText(QStringLiteral("stale"));
        const int before = d.refreshes;
        d.click(d.dialog.findChild<PictureButton *>(button));
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(d.refreshes, before + 1);
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));
        QCOMPARE(d.status.panel(StatusBar::Effect)->text(), QStringLiteral("单声道"));
    }

    void damagedSettingsShowSomethingAndNeverFail()
    {
        // A damaged name part is made canonical as soon as the dialog opens.
        App().DeviceChoice = QStringLiteral("2- Palm P?A");
        App().QualityChoice = QStringLiteral("9- 坏的");   // outside the list
        App().ChannelChoice = QStringLiteral("坏的");      // no number: index -1
        App().FormatChoice = QStringLiteral("1- MP3");
        Dialog d;
        QCOMPARE(App().DeviceChoice, QStringLiteral("2- Palm PDA"));
        QCOMPARE(App().QualityChoice, QStringLiteral("9- 坏的")); // kept, not invented
        QCOMPARE(d.dialog.QualityIndex, 8);
        QVERIFY(d.icon(1)->picture().isNull());                // no other group's picture
        QCOMPARE(d.dialog.lblQuality->text(), QStringLiteral(" 坏的"));
        QCOMPARE(d.dialog.ChannelIndex, -1);
        QVERIFY(d.icon(2)->picture().isNull());
        QCOMPARE(d.status.panel(StatusBar::Quality)->picture(), Profile::UnknownChoicePicture);

        d.click(d.arrow(2)); // forward from above the list: back to the first
        QCOMPARE(App().QualityChoice, QStringLiteral("1- CD 音质"));
        d.click(d.arrow(5)); // backward from below 0: the last
        QCOMPARE(App().ChannelChoice, QStringLiteral("2- 单声道"));

        App().DeviceChoice = QStringLiteral("7- x");
        Dialog e;
        e.click(e.arrow(1)); // backward from above the list steps down by one, still outside
        QCOMPARE(e.dialog.DeviceIndex, 5);
        QCOMPARE(App().DeviceChoice, QStringLiteral("7- x"));
        e.click(e.arrow(1));
        QCOMPARE(App().DeviceChoice, QStringLiteral("5- 其它 MP3 设备"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no group 4")));
        e.dialog.SetIconImage(4, 0);
        e.dialog.StepForward(-1);
    }
};

QTEST_MAIN(TestFrmOption)
#include "test_frmoption.moc"
