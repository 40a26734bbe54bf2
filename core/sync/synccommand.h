#pragma once

#include <QString>

#include <cstdio>

// `sveltra --sync LIBRARY PLAYER [--dry-run] [--yes]`: a sync without a window, for scripts and
// scheduled jobs. Needs a QCoreApplication (no display); drives the run on the calling thread's
// event loop.
namespace Sveltra {

struct SyncCommand
{
    QString library;
    QString player;
    bool dryRun = false;
    bool yes = false; // a sync that removes more than half of the player's outputs goes ahead
    int channelChoice = 1;
    int qualityChoice = 1;
    bool levelled = false;
    QString encoderPath;
    int maxParallel = 0; // 0: one per core
};

// Prints the plan; unless dryRun, carries it out, printing each encode as it ends and the summary.
// Returns the exit status: 0 when every item succeeded (a dry run: when the plan can be carried
// out), 1 when anything failed or the sync was refused (a missing or empty library, no room),
// 3 when it would remove more than half of the outputs and yes is not given.
int RunSyncCommand(const SyncCommand &command, std::FILE *out, std::FILE *err);

} // namespace Sveltra
