#pragma once

#include <QLockFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace Sveltra {

// The system's temporary folder with a trailing separator.
QString GetTempFolder();

// A folder of this process's own in the temporary folder, "sveltra-XXXXXX" (readable by this
// user only), removed with everything in it when the object goes. A lock file inside names the
// owning process, so that a folder left behind by a process that was killed can be told from one
// in use (RemoveStaleTempFolders).
class OwnedTempFolder
{
public:
    explicit OwnedTempFolder(const QString &parent = GetTempFolder());
    ~OwnedTempFolder();
    OwnedTempFolder(const OwnedTempFolder &) = delete;
    OwnedTempFolder &operator=(const OwnedTempFolder &) = delete;

    bool isValid() const { return m_dir.isValid() && m_lock && m_lock->isLocked(); }
    QString path() const { return m_dir.path(); }

    // The name of the lock file inside each such folder.
    static QString LockFileName();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QLockFile> m_lock;
};

// Removes the "sveltra-XXXXXX" folders of this user in parent whose owning process has gone
// (a program killed during a run leaves its folder behind). Folders in use, folders of other
// users and folders without an owner's lock are left alone. Returns how many were removed.
int RemoveStaleTempFolders(const QString &parent = GetTempFolder());

} // namespace Sveltra
