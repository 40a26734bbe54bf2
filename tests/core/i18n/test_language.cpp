// Which language the interface speaks, from the user's interface languages, and the English
// translation compiled into the program.

#include <QCoreApplication>
#include <QTest>

#include "core/i18n/language.h"

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
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "test_language.moc"
