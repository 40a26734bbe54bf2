#include "core/base/instanceguard.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Sveltra {

namespace {

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

InstanceGuard::InstanceGuard(const QString &lockPath)
    : m_path(lockPath)
{
}

InstanceGuard::~InstanceGuard()
{
    // Closing releases the lock; the file stays, so that no later copy can lock a file that
    // another one is about to replace.
    if (m_fd >= 0)
        ::close(m_fd);
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
    if (m_fd >= 0 || m_unguarded)
        return true;

    // Never through a link (the temporary folder is shared) and never inherited by the encoders
    // this copy starts, which would otherwise keep the lock after it ends.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return runUnguarded(QStringLiteral("cannot open the lock file %1: %2").arg(m_path, ErrorText(errno)));

    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || info.st_uid != ::getuid() || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return runUnguarded(QStringLiteral("the lock file %1 is not a file of this user").arg(m_path));
    }

    int locked = -1;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return false; // a live copy holds it
        return runUnguarded(QStringLiteral("cannot lock %1: %2").arg(m_path, ErrorText(error)));
    }

    m_fd = fd;
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::write(fd, pid.constData(), size_t(pid.size())) != pid.size())
        qWarning("InstanceGuard: cannot write the process id into %s: %s", qPrintable(m_path), std::strerror(errno));
    return true;
}

bool InstanceGuard::runUnguarded(const QString &reason)
{
    m_unguarded = true;
    qWarning("InstanceGuard: %s; starting without the check for another running copy", qPrintable(reason));
    return true;
}

} // namespace Sveltra
