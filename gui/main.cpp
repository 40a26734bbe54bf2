// Sveltra's entry point: the splash, the main window's load step, then the event loop.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "core/base/appstate.h"
#include "core/base/buildinfo.h"
#include "core/base/instanceguard.h"
#include "core/base/version.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmstartup.h"
#include "gui/mainwindow/form1.h"

namespace {

// The interface is Chinese throughout, so Qt's own texts (standard buttons, file dialogs) are
// too, whatever the desktop's language.
void loadQtTranslations(QApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        qWarning("Qt's Chinese translations were not found; standard buttons stay in English");
}

} // namespace

namespace Sveltra {

// The start-up entry: the build number, the splash, the main window's load step (which refuses
// a second copy), then the main window and the event loop.
int Main(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Sveltra"));
    QApplication::setApplicationVersion(VersionText());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sveltra.png")));
    loadQtTranslations(app);

    App().BuildNumber = ComputeBuildNumber(Build::VersionMajor, Build::VersionMinor, Build::VersionPatch);

    frmStartUp splash;
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    SettingsFile settings(SettingsFile::DefaultPath());
    InstanceGuard guard;
    Form1 form(settings, guard, &splash);
    if (form.Form_Load() == Form1::LoadResult::SecondCopy)
        return 0;
    form.InitForm();
    form.show();
    return QApplication::exec();
}

} // namespace Sveltra

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return Sveltra::Main(app);
}
