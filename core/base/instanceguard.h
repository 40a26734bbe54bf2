#pragma once

#include <QString>

namespace Sveltra {

// Tells whether another copy of the program is already running for this user. The lock is the
// kernel's advisory lock on a small file: it is held exactly as long as the copy that took it
// lives, so a copy that crashed leaves nothing behind that could refuse the next start, whatever
// the file holds. The file names the holder's process id for a person who looks.
class InstanceGuard final
{
public:
    explicit InstanceGuard(const QString &lockPath = DefaultLockPath());
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    // The per-user lock in the runtime folder (or the temporary folder when there is none).
    static QString DefaultLockPath();

    // False only when another live copy holds the lock. True when this process holds it (now or
    // from an earlier call), and also when the lock cannot be taken at all (a folder that cannot
    // be written, a file that is not this user's, a file system without locks): that copy then
    // runs unguarded and says why once on standard error.
    bool acquire();

    // True when this process holds the lock.
    bool isHeld() const { return m_fd >= 0; }

private:
    bool runUnguarded(const QString &reason);

    QString m_path;
    int m_fd = -1;
    bool m_unguarded = false;
};

} // namespace Sveltra
