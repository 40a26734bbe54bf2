#include "core/i18n/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace Sveltra {

namespace {

// "zh-Hant-TW", "zh_CN.UTF-8", "en@euro" -> "zh", "zh", "en".
QString primaryLanguage(const QString &tag)
{
    QString name = tag.trimmed().toLower();
    const qsizetype end = name.indexOf(QRegularExpression(QStringLiteral("[-_.@]")));
    if (end >= 0)
        name.truncate(end);
    return name;
}

InterfaceLanguage s_current = InterfaceLanguage::Chinese;

} // namespace

InterfaceLanguage ChooseInterfaceLanguage(const QStringList &uiLanguages)
{
    bool otherLanguage = false;
    for (const QString &tag : uiLanguages) {
        const QString language = primaryLanguage(tag);
        if (language == u"zh")
            return InterfaceLanguage::Chinese;
        if (language == u"en")
            return InterfaceLanguage::English;
        if (!language.isEmpty() && language != u"c" && language != u"posix")
            otherLanguage = true;
    }
    return otherLanguage ? InterfaceLanguage::English : InterfaceLanguage::Chinese;
}

InterfaceLanguage SystemInterfaceLanguage()
{
    return ChooseInterfaceLanguage(QLocale::system().uiLanguages());
}

QLocale InterfaceLocale(InterfaceLanguage language, const QLocale &system)
{
    if (language == InterfaceLanguage::Chinese)
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    if (system.language() == QLocale::English)
        return system;
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

InterfaceLanguage CurrentInterfaceLanguage()
{
    return s_current;
}

bool InstallInterfaceTranslations(QCoreApplication &app, InterfaceLanguage language)
{
    const QLocale locale = InterfaceLocale(language, QLocale::system());
    QLocale::setDefault(locale);
    s_current = language;

    const QString qtName = language == InterfaceLanguage::Chinese ? QStringLiteral("qtbase_zh_CN") : QStringLiteral("qtbase_en");
    auto *qt = new QTranslator(&app);
    if (qt->load(qtName, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
        if (language == InterfaceLanguage::Chinese)
            qWarning("Qt's Chinese translations (%s) were not found; standard buttons stay in English", qPrintable(qtName));
    }

    if (language == InterfaceLanguage::Chinese)
        return true;
    auto *own = new QTranslator(&app);
    if (!own->load(QStringLiteral(":/i18n/sveltra_en.qm"))) {
        delete own;
        qWarning("The English translation is missing from this build; the interface stays Chinese");
        return false;
    }
    QCoreApplication::installTranslator(own);
    return true;
}

} // namespace Sveltra
