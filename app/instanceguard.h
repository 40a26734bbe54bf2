#pragma once

#include <QLockFile>
#include <QString>

namespace Sveltra {

// Tells whether another copy of the program is already running for this user. The lock file
// holds the owner's process id, so a copy that crashed leaves a lock that the next start
// recognises as stale and takes over.
class InstanceGuard final
{
public:
    explicit InstanceGuard(const QString &lockPath = DefaultLockPath());

    // The per-user lock in the runtime folder (or the temporary folder when there is none).
    static QString DefaultLockPath();

    // True when this process holds the lock (now or from an earlier call); false when another
    // live process holds it.
    bool acquire();

private:
    QLockFile m_lock;
};

} // namespace Sveltra
