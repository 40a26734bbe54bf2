#include "app/instanceguard.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace Sveltra {

InstanceGuard::InstanceGuard(const QString &lockPath)
    : m_lock(lockPath)
{
    // Only a dead owner makes the lock stale, never its age: a copy may run for days.
    m_lock.setStaleLockTime(0);
}

QString InstanceGuard::DefaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("sveltra-%1.lock").arg(getuid()));
}

bool InstanceGuard::acquire()
{
    return m_lock.isLocked() || m_lock.tryLock(0);
}

} // namespace Sveltra
