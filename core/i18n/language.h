#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;

// The interface language. Chinese is the program's own (the texts in the code); English is a
// translation compiled in from translations/sveltra_en.ts. The choice is made once at start-up,
// before any window exists, and holds for the life of the process.
namespace Sveltra {

enum class InterfaceLanguage { Chinese, English };

// The first of the user's interface languages (as QLocale::uiLanguages() gives them, most
// wanted first: "zh-Hans-CN", "en_GB", "de") that is Chinese (any script or region) or English
// wins. A list with other languages only gets English; an empty list or one of the C or POSIX
// locale only gets Chinese.
InterfaceLanguage ChooseInterfaceLanguage(const QStringList &uiLanguages);

// ChooseInterfaceLanguage() over QLocale::system().uiLanguages() (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG).
InterfaceLanguage SystemInterfaceLanguage();

// The locale numbers, dates and sizes are written in: Simplified Chinese for the Chinese
// interface; for English the system's own locale when it is an English one, else US English.
QLocale InterfaceLocale(InterfaceLanguage language, const QLocale &system);

// Installs, on `app`, the program's translation for `language` and Qt's own (qtbase_*.qm from
// Qt's translations folder, for the standard buttons and dialogs), and makes InterfaceLocale()
// the default locale. A missing Qt translation is logged and leaves Qt's texts in English; a
// missing program translation (a broken build) is logged and leaves the interface Chinese.
// Returns whether the program's own translation is in place (always true for Chinese).
bool InstallInterfaceTranslations(QCoreApplication &app, InterfaceLanguage language);

// The language InstallInterfaceTranslations() last put in place (Chinese before it runs): the
// help window opens its pages in it.
InterfaceLanguage CurrentInterfaceLanguage();

} // namespace Sveltra
