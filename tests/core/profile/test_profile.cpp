// Choice numbers, the status bar panels and the options summary.

#include <QTest>

#include "core/base/appstate.h"
#include "core/profile/profile.h"

using namespace Sveltra;
using namespace Sveltra::Profile;

namespace {
ApplicationState profile(const QString &device, const QString &quality, const QString &channel,
                         const QString &format = QStringLiteral("1- MP3"))
{
    ApplicationState s;
    s.DeviceChoice = device;
    s.QualityChoice = quality;
    s.ChannelChoice = channel;
    s.FormatChoice = format;
    return s;
}
} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void choiceNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("choice") << QStringLiteral("2- 单声道") << 2;
        QTest::newRow("leading blanks") << QStringLiteral("   4- x") << 4;
        QTest::newRow("two digits") << QStringLiteral("12- x") << 12;
        QTest::newRow("no digits") << QStringLiteral("- x") << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("letter first") << QStringLiteral("a1") << 0;
        QTest::newRow("huge saturates") << QStringLiteral("99999999999999999999- x") << 2147483647;
    }

    void choiceNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ChoiceNumber(text), number);
    }

    void listsHoldTheirTextsInOrder()
    {
        QCOMPARE(Choices(List::Device).size(), 5);
        QCOMPARE(Choices(List::Device).at(4), QStringLiteral("5- 其它 MP3 设备"));
        QCOMPARE(Choices(List::Quality).at(1), QStringLiteral("2- FM 广播音质"));
        QCOMPARE(Choices(List::Format),
                 (QStringList{QStringLiteral("1- MP3"), QStringLiteral("2- WMA"), QStringLiteral("3- 音乐 CD")}));
        QCOMPARE(SelectableCount(List::Format), 1);
        for (List list : {List::Device, List::Quality, List::Channel, List::Format}) {
            const QStringList &choices = Choices(list);
            for (int i = 0; i < choices.size(); ++i)
                QCOMPARE(ChoiceNumber(choices[i]), i + 1);
        }
    }

    void defaultStatusPanels()
    {
        const auto panels = StatusPanels(
            profile(DefaultChoice(List::Device), DefaultChoice(List::Quality), DefaultChoice(List::Channel)));
        QCOMPARE(panels[0].text, QStringLiteral("MP3 播放器"));
        QCOMPARE(panels[1].text, QStringLiteral("CD 音质"));
        QCOMPARE(panels[2].text, QStringLiteral("立体声"));
        QCOMPARE(panels[3].text, QStringLiteral("MP3"));
        QCOMPARE(panels[0].picture, 1);
        QCOMPARE(panels[1].picture, 6);
        QCOMPARE(panels[2].picture, 10);
        QCOMPARE(panels[3].picture, 12);
        QCOMPARE(panels[0].toolTip, QStringLiteral("您的音乐设备: MP3 播放器"));
        QCOMPARE(panels[1].toolTip, QStringLiteral("您需要的音质: CD 音质"));
        QCOMPARE(panels[2].toolTip, QStringLiteral("您想要的声音效果: 立体声"));
        QCOMPARE(panels[3].toolTip, QStringLiteral("您想要的数码音乐格式是 MP3"));
    }

    void lastChoicesAndDamagedChoices()
    {
        auto panels = StatusPanels(profile(QStringLiteral("5- 其它 MP3 设备"), QStringLiteral("4- 电话音质"),
                                           QStringLiteral("2- 单声道"), QStringLiteral("3- 音乐 CD")));
        QCOMPARE(panels[0].picture, 5);
        QCOMPARE(panels[1].picture, 9);
        QCOMPARE(panels[2].picture, 11);
        QCOMPARE(panels[3].picture, 14);
        QCOMPARE(panels[0].text, QStringLiteral("其它 MP3 设备"));

        // Numbers outside their lists (or none at all) show the neutral picture and whatever
        // text follows the first three characters.
        panels = StatusPanels(profile(QStringLiteral("9- 坏"), QStringLiteral("0- x"), QString(), QStringLiteral("7")));
        for (const StatusPanel &p : panels)
            QCOMPARE(p.picture, UnknownChoicePicture);
        QCOMPARE(panels[0].text, QStringLiteral("坏"));
        QCOMPARE(panels[2].text, QString());
        QCOMPARE(panels[2].toolTip, QStringLiteral("您想要的声音效果: "));
    }

    void summarySentence()
    {
        QCOMPARE(
            OptionsSummary(DefaultChoice(List::Device), DefaultChoice(List::Quality), DefaultChoice(List::Channel),
                           DefaultChoice(List::Format)),
            QStringLiteral("您的播放器是 - MP3 播放器.  您想要的音质是 - CD 音质.  您需要的格式是 - MP3.  您喜欢 - 立体声效果."));
        QCOMPARE(OptionsSummary(QStringLiteral("3- Pocket PC"), QStringLiteral("2- FM 广播音质"), QStringLiteral("2- 单声道"),
                                QStringLiteral("1- MP3")),
                 QStringLiteral(
                     "您的播放器是 - Pocket PC.  您想要的音质是 - FM 广播音质.  您需要的格式是 - MP3.  您喜欢 - 单声道效果."));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
