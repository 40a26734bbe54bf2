#include "core/base/startarguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "core/base/version.h"

namespace Sveltra {

namespace {

// Options the window system reads from the same command line; naming them here keeps them from
// being refused as unknown. The session manager restarts a program with -session.
const QStringList &WindowSystemOptionsWithValue()
{
    static const QStringList names = {
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("display"),         QStringLiteral("style"),
        QStringLiteral("stylesheet"),      QStringLiteral("session"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowtitle"),
        QStringLiteral("qwindowicon"),
    };
    return names;
}

// An argument is a path, relative to the working folder or absolute. Only a file:// address (as
// some file managers pass them) is taken as an address, and only when it names a file that
// exists or the path of the same spelling does not: "file:colon.wav" is the file of that name.
QString AbsolutePath(const QString &argument, const QString &workingFolder)
{
    const QString asPath = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument));
    if (!argument.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        return asPath;
    const QUrl url(argument);
    if (!url.isLocalFile())
        return asPath;
    const QString asAddress = QDir::cleanPath(url.toLocalFile());
    return QFileInfo::exists(asAddress) || !QFileInfo::exists(asPath) ? asAddress : asPath;
}

} // namespace

StartRequest ParseStartArguments(const QStringList &arguments, const QString &workingFolder)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Sveltra puts music on a diet: it re-encodes MP3, WAV and WMA files and audio-CD tracks into smaller,\n"
                       "tagged MP3 files. Files and folders named here are added to the job list (folders: the audio files\n"
                       "inside, recursively, in name order); when Sveltra is already running, they are handed to that copy."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const QString &name : WindowSystemOptionsWithValue()) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
    const QCommandLineOption sync(QStringLiteral("sync"),
                                  QStringLiteral("Bring the player folder PLAYER in step with the music library LIBRARY "
                                                 "(the two paths follow), without a window."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("With --sync: show the plan, change nothing."));
    const QCommandLineOption yes(
        QStringLiteral("yes"), QStringLiteral("With --sync: go ahead even when more than half of the player's files would go."));
    parser.addOptions({sync, dryRun, yes});
    parser.addPositionalArgument(QStringLiteral("items"), QStringLiteral("Audio files or folders to add to the job list."),
                                 QStringLiteral("[FILE|FOLDER...]"));

    StartRequest request;
    if (!parser.parse(arguments)) {
        request.action = StartRequest::Action::Error;
        request.text = parser.errorText() + QStringLiteral("\nTry 'sveltra --help' for more information.\n");
        return request;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        request.action = StartRequest::Action::ShowHelp;
        request.text = parser.helpText();
        // The usage line names the program as a person types it, not the path it was started by.
        const qsizetype options = request.text.indexOf(QLatin1String(" [options]"));
        const qsizetype lineEnd = request.text.indexOf(QLatin1Char('\n'));
        if (request.text.startsWith(QLatin1String("Usage: ")) && options > 0 && (lineEnd < 0 || options < lineEnd))
            request.text.replace(7, options - 7, QStringLiteral("sveltra"));
        return request;
    }
    if (parser.isSet(version)) {
        request.action = StartRequest::Action::ShowVersion;
        request.text = QStringLiteral("Sveltra ") + VersionText() + QLatin1Char('\n');
        return request;
    }
    if (parser.isSet(sync)) {
        const QStringList folders = parser.positionalArguments();
        if (folders.size() != 2 || folders[0].isEmpty() || folders[1].isEmpty()) {
            request.action = StartRequest::Action::Error;
            request.text = QStringLiteral(
                "--sync takes two folders: LIBRARY PLAYER\nTry 'sveltra --help' for more information.\n");
            return request;
        }
        request.action = StartRequest::Action::Sync;
        request.syncLibrary = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(folders[0]));
        request.syncPlayer = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(folders[1]));
        request.dryRun = parser.isSet(dryRun);
        request.yes = parser.isSet(yes);
        return request;
    }
    if (parser.isSet(dryRun) || parser.isSet(yes)) {
        request.action = StartRequest::Action::Error;
        request.text = QStringLiteral("--dry-run and --yes go with --sync\nTry 'sveltra --help' for more information.\n");
        return request;
    }
    for (const QString &argument : parser.positionalArguments()) {
        if (!argument.isEmpty())
            request.paths << AbsolutePath(argument, workingFolder);
    }
    return request;
}

} // namespace Sveltra
