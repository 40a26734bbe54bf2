#include "core/base/tempfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace Sveltra {

QString GetTempFolder()
{
    QString folder = QDir::toNativeSeparators(QDir::tempPath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

namespace {

QString Pattern()
{
    return QStringLiteral("sveltra-XXXXXX");
}

} // namespace

OwnedTempFolder::OwnedTempFolder(const QString &parent)
    : m_dir(QDir(parent).filePath(Pattern()))
{
    if (!m_dir.isValid()) {
        qWarning("Cannot create a temporary folder in %s: %s", qPrintable(parent), qPrintable(m_dir.errorString()));
        return;
    }
    m_lock = std::make_unique<QLockFile>(m_dir.filePath(LockFileName()));
    m_lock->setStaleLockTime(0); // held as long as this process lives, however long a run takes
    if (!m_lock->tryLock(0))
        qWarning("Cannot lock the temporary folder %s", qPrintable(m_dir.path()));
}

OwnedTempFolder::~OwnedTempFolder()
{
    // The lock goes first; the folder then goes with everything left in it.
    if (m_lock)
        m_lock->unlock();
}

QString OwnedTempFolder::LockFileName()
{
    return QStringLiteral(".owner.lock");
}

int RemoveStaleTempFolders(const QString &parent)
{
    static const QRegularExpression name(QStringLiteral("^sveltra-[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QFileInfoList entries = QDir(parent).entryInfoList({QStringLiteral("sveltra-*")},
                                                             QDir::Dirs | QDir::NoSymLinks | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (!name.match(entry.fileName()).hasMatch() || entry.isSymLink() || entry.ownerId() != getuid())
            continue;
        const QString lockPath = QDir(entry.filePath()).filePath(OwnedTempFolder::LockFileName());
        if (!QFileInfo::exists(lockPath))
            continue;
        // Taking the lock succeeds only when the process that holds it has gone.
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        if (QDir(entry.filePath()).removeRecursively()) {
            qInfo("Removed %s, left behind by a Sveltra that has gone", qPrintable(entry.filePath()));
            ++removed;
        } else {
            qWarning("Cannot remove %s, left behind by a Sveltra that has gone", qPrintable(entry.filePath()));
        }
    }
    return removed;
}

} // namespace Sveltra
