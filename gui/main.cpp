// Sveltra's entry point: the command line, the hand-over to a copy already running, the splash,
// the main window's load step, then the event loop.

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <optional>

#include "core/base/appstate.h"
#include "core/base/buildinfo.h"
#include "core/base/encoderprogram.h"
#include "core/base/instancechannel.h"
#include "core/base/instanceguard.h"
#include "core/base/startarguments.h"
#include "core/base/version.h"
#include "core/i18n/language.h"
#include "core/profile/profile.h"
#include "core/settings/settings.h"
#include "core/sync/synccommand.h"
#include "gui/dialogs/frmstartup.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/openrequests.h"

namespace {

// How long a second start waits for the running copy to take its files.
constexpr int HandOverTimeoutMs = 15000;

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// `--sync`: the settings file's profile and levelling, the encoder beside the program; no window.
// Its plan and messages are in the desktop's language, as the window's are.
int RunSyncFromCommandLine(QCoreApplication &app, const Sveltra::StartRequest &request)
{
    using namespace Sveltra;
    InstallInterfaceTranslations(app, SystemInterfaceLanguage());
    SettingsFile(SettingsFile::DefaultPath()).LoadSettings(App());
    SyncCommand command;
    command.library = request.syncLibrary;
    command.player = request.syncPlayer;
    command.dryRun = request.dryRun;
    command.yes = request.yes;
    command.channelChoice = Profile::ChoiceNumber(App().ChannelChoice);
    command.qualityChoice = Profile::ChoiceNumber(App().QualityChoice);
    command.levelled = App().Level;
    command.encoderPath = FindEncoderProgram();
    return RunSyncCommand(command, stdout, stderr);
}

} // namespace

namespace Sveltra {

// The start-up entry: the build number, the splash, the main window's load step (which refuses
// a second copy), then the main window and the event loop. The items named on the command line
// are added once the window shows; later starts hand theirs over through the instance server.
int Main(QApplication &app, InstanceGuard &guard, const QStringList &paths)
{
    QApplication::setApplicationName(QStringLiteral("Sveltra"));
    QApplication::setApplicationVersion(VersionText());
    QApplication::setDesktopFileName(QStringLiteral("sveltra"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sveltra.png")));
    InstallInterfaceTranslations(app, SystemInterfaceLanguage());

    App().BuildNumber = ComputeBuildNumber(Build::VersionMajor, Build::VersionMinor, Build::VersionPatch);

    // Listening starts before the slow part of loading, so that a second start does not wait
    // long; what arrives before the window is ready waits in `early`.
    InstanceServer server;
    QStringList early;
    OpenRequests *opener = nullptr;
    QObject::connect(&server, &InstanceServer::pathsReceived, &server, [&](const QStringList &handed) {
        if (opener)
            opener->open(handed, true);
        else
            early << handed;
    });
    if (guard.acquire() && guard.isHeld())
        server.listen();

    frmStartUp splash;
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    SettingsFile settings(SettingsFile::DefaultPath());
    Form1 form(settings, guard, &splash);
    if (form.Form_Load() == Form1::LoadResult::SecondCopy)
        return paths.isEmpty() ? 0 : 1; // with files: the hand-over failed before this
    form.InitForm();
    form.RestoreWindowState();
    form.show();

    OpenRequests requests(form);
    QTimer::singleShot(0, &form, [&] {
        opener = &requests;
        requests.open(paths + early, false);
        early.clear();
    });
    return QApplication::exec();
}

} // namespace Sveltra

int main(int argc, char *argv[])
{
    using namespace Sveltra;

    // The command line first, without a display: --help and --version work on a terminal, and
    // a second start only hands its files over. Its texts are English in either interface
    // language, Qt's parser texts too: no translator is installed this early (only a sync, once
    // its arguments are read, speaks the interface language).
    StartRequest request;
    std::optional<InstanceGuard> guard;
    {
        QCoreApplication early(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Sveltra"));
        request = ParseStartArguments(QCoreApplication::arguments(), QDir::currentPath());
        switch (request.action) {
        case StartRequest::Action::ShowHelp:
        case StartRequest::Action::ShowVersion:
            print(stdout, request.text);
            return 0;
        case StartRequest::Action::Error:
            print(stderr, request.text);
            return 2;
        case StartRequest::Action::Sync:
            return RunSyncFromCommandLine(early, request);
        case StartRequest::Action::Run:
            break;
        }
        guard.emplace();
        if (!request.paths.isEmpty() && !guard->acquire()) {
            QString error;
            if (InstanceChannel::SendToRunningCopy(InstanceChannel::DefaultName(), request.paths, HandOverTimeoutMs, &error))
                return 0;
            // Told as a second start without files is: the refusal follows.
            qWarning("Sveltra is already running but did not take the files: %s", qPrintable(error));
        }
    }

    QApplication app(argc, argv);
    return Sveltra::Main(app, *guard, request.paths);
}
