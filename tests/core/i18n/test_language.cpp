// Which language the interface speaks, from the user's interface languages, and the English
// translation compiled into the program.

#include <QCoreApplication>
#include <QTest>

#include "core/base/appstate.h"
#include "core/i18n/language.h"
#include "core/joblist/addrefusal.h"
#include "core/output/failurereason.h"
#include "core/profile/profile.h"
#include "core/run/runsummary.h"

using namespace Sveltra;

Q_DECLARE_METATYPE(InterfaceLanguage)

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<InterfaceLanguage>("expected");
        const auto zh = InterfaceLanguage::Chinese;
        const auto en = InterfaceLanguage::English;
        auto row = [](const char *tag, const QString &list, InterfaceLanguage language) {
            QTest::newRow(tag) << (list.isEmpty() ? QStringList() : list.split(u':')) << language;
        };
        row("English", QStringLiteral("en"), en);
        row("English, US, as Qt names it", QStringLiteral("en-US"), en);
        row("English, with codeset", QStringLiteral("en_GB.UTF-8"), en);
        row("Simplified Chinese", QStringLiteral("zh-CN"), zh);
        row("Simplified Chinese with script", QStringLiteral("zh-Hans-CN"), zh);
        row("Traditional Chinese", QStringLiteral("zh-TW"), zh);
        row("Traditional Chinese with script", QStringLiteral("zh-Hant-HK"), zh);
        row("Chinese, POSIX name", QStringLiteral("zh_CN.UTF-8"), zh);
        row("German only", QStringLiteral("de-DE"), en);
        row("German, then Chinese", QStringLiteral("de-DE:zh-CN"), zh);
        row("French, then English, then Chinese", QStringLiteral("fr:en:zh"), en);
        row("Chinese before English", QStringLiteral("zh:en"), zh);
        row("C locale", QStringLiteral("C"), zh);
        row("C locale with codeset", QStringLiteral("C.UTF-8"), zh);
        row("POSIX locale", QStringLiteral("POSIX"), zh);
        row("nothing known", QString(), zh);
        row("C, then Japanese", QStringLiteral("C:ja"), en);
        row("upper case", QStringLiteral("EN-us"), en);
        row("blank entries", QStringLiteral(" :en"), en);
        row("a language starting like Chinese", QStringLiteral("zha"), en);
    }
    void choice()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(InterfaceLanguage, expected);
        QCOMPARE(ChooseInterfaceLanguage(uiLanguages), expected);
    }

    void locale()
    {
        const QLocale british(QLocale::English, QLocale::UnitedKingdom);
        QCOMPARE(InterfaceLocale(InterfaceLanguage::English, british), british);
        // A German desktop reads English words: the numbers and dates go with them.
        QCOMPARE(InterfaceLocale(InterfaceLanguage::English, QLocale(QLocale::German, QLocale::Germany)).language(),
                 QLocale::English);
        const QLocale chinese = InterfaceLocale(InterfaceLanguage::Chinese, british);
        QCOMPARE(chinese.language(), QLocale::Chinese);
        QCOMPARE(chinese.territory(), QLocale::China);
    }

    // Last: it changes the translators of the whole process.
    void englishIsCompiledIn()
    {
        const char *context = "Sveltra::JobList";
        const char *source = "未添加的文件";
        QCOMPARE(QCoreApplication::translate(context, source), QString::fromUtf8(source));
        QVERIFY(InstallInterfaceTranslations(*QCoreApplication::instance(), InterfaceLanguage::English));
        QCOMPARE(QCoreApplication::translate(context, source), QStringLiteral("Files not added"));
        QCOMPARE(QLocale().language(), QLocale::English);

        // The profile's choices are stored in Chinese whatever the interface speaks, and shown
        // in English; a text that is no choice (a damaged settings file) is shown as stored.
        using namespace Profile;
        QCOMPARE(Choices(List::Quality).first(), QStringLiteral("1- CD 音质"));
        QCOMPARE(DefaultChoice(List::Device), QStringLiteral("1- MP3 播放器"));
        QCOMPARE(ChoiceText(QStringLiteral("1- CD 音质")), QStringLiteral("1- CD quality"));
        QCOMPARE(ChoiceText(QStringLiteral("9- 未知")), QStringLiteral("9- 未知"));
        QCOMPARE(ChoiceNumber(ChoiceText(QStringLiteral("2- 单声道"))), 2);
        QCOMPARE(OptionsSummary(QStringLiteral("1- MP3 播放器"), QStringLiteral("2- FM 广播音质"), QStringLiteral("2- 单声道"),
                                QStringLiteral("1- MP3")),
                 QStringLiteral("Your player: MP3 player.  Quality: FM radio quality.  Format: MP3.  Sound: Mono."));
        ApplicationState state;
        state.DeviceChoice = QStringLiteral("4- 移动电话");
        state.QualityChoice = QStringLiteral("3- 磁带音质");
        state.ChannelChoice = QStringLiteral("1- 立体声");
        state.FormatChoice = QStringLiteral("1- MP3");
        const auto panels = StatusPanels(state);
        QCOMPARE(panels[0].text, QStringLiteral("Mobile phone"));
        QCOMPARE(panels[0].toolTip, QStringLiteral("Your music device: Mobile phone"));
        QCOMPARE(panels[1].picture, 3 + 5);
        QCOMPARE(panels[2].text, QStringLiteral("Stereo"));
        QCOMPARE(state.DeviceChoice, QStringLiteral("4- 移动电话"));

        // What a run and an add tell, with English plurals.
        RunSummary summary;
        summary.converted = 1;
        summary.failed = 2;
        summary.savedBytes = 1536;
        summary.commonFailure = EncoderFailureReason(4, false, QStringLiteral("No space left on device"));
        QCOMPARE(RunSummaryText(summary), QStringLiteral("1 done, 2 failed: Not enough disk space, saved 1.5 KB"));
        summary.skipped = 3;
        summary.queued = 1;
        summary.savedBytes = -2048;
        summary.failed = 0;
        QCOMPARE(RunSummaryText(summary), QStringLiteral("1 done, 3 skipped, 0 failed, 1 waiting, grew by 2.0 KB"));
        const QList<RefusedPath> one{{QStringLiteral("/m/a.txt"), AddRefusal::NotAudio}};
        const QList<RefusedPath> two{{QStringLiteral("/m/a.mp3"), AddRefusal::NotFound},
                                     {QStringLiteral("/m/b.mp3"), AddRefusal::NotFound}};
        QCOMPARE(RefusedNoticeText(one), QStringLiteral("This file was not added (cannot be read as audio):\na.txt"));
        QCOMPARE(RefusedNoticeText(two), QStringLiteral("These 2 files were not added (not found):\na.mp3\nb.mp3"));
        QCOMPARE(RefusedStatusLine(two), QStringLiteral("2 files not added: a.mp3 and others"));
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "test_language.moc"
