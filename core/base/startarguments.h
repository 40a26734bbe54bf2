#pragma once

#include <QStringList>

namespace Sveltra {

// What the command line asks of a start: `sveltra [FILE|FOLDER...]`, `--help`, `--version`,
// `--sync LIBRARY PLAYER [--dry-run] [--yes]`.
struct StartRequest
{
    enum class Action {
        Run,         // start (or hand the paths to the running copy)
        ShowHelp,    // print text on standard output, exit 0
        ShowVersion, // print text on standard output, exit 0
        Error,       // print text on standard error, exit 2
        Sync,        // bring the player folder in step with the library, without a window
    };
    Action action = Action::Run;
    // The files and folders named, absolute and clean, in the order given. file:// addresses
    // (as some file managers pass them) become their local paths; any other argument is a path,
    // "file:name.wav" included.
    QStringList paths;
    QString text;
    // Sync: the library and the player folder (in paths' place), whether only to show the plan,
    // and whether removing more than half of the player's outputs is agreed to.
    QString syncLibrary;
    QString syncPlayer;
    bool dryRun = false;
    bool yes = false;
};

// Reads the arguments (the program name first, as in argv) with the working folder that
// relative paths are taken from. Options Qt's window system takes (-platform, -display,
// -style, -session ...) are accepted and left to it. Needs no display and no application object.
StartRequest ParseStartArguments(const QStringList &arguments, const QString &workingFolder);

} // namespace Sveltra
