#include "encoder/outputfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encoder/interrupt.h"

namespace fastencc {

namespace {

// Large enough that writing costs next to nothing beside encoding (a system call per 64 KiB of
// MP3, a second or more of audio), small enough not to count in the program's memory.
constexpr std::size_t kBufferSize = 64 * 1024;

std::string folderOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Writes all of bytes at the current position, retrying after interruptions and short writes.
int writeAll(int fd, const unsigned char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// A name for the file while it is renamed into place; unlike the files other programs keep in
// the folder, it starts with ".fastencc-".
std::string newTemporaryName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string name = ".fastencc-";
    for (int i = 0; i < 8; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name + ".part";
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

OutputFile::OutputFile(std::string target, bool allowUnnamed)
    : m_target(std::move(target))
    , m_allowUnnamed(allowUnnamed)
{
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_tempName.empty() && !m_committed) {
        interrupt::SignalBlock block;
        interrupt::disarm();
        ::unlinkat(m_folderFd, m_tempName.c_str(), 0);
    }
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

Status OutputFile::writeError(const char *what, int error) const
{
    return Status::fail(ExitCode::BadOutput, "output \"" + m_target + "\": " + what + ": " + std::strerror(error));
}

Status OutputFile::create()
{
    struct stat info
    {
    };
    const bool exists = ::stat(m_target.c_str(), &info) == 0;
    if (m_target.back() == '/' || (exists && S_ISDIR(info.st_mode)))
        return Status::fail(ExitCode::BadOutput, "output \"" + m_target + "\" is a folder, not a file name");
    // Renaming over a device or a pipe would replace it (/dev/null, for one).
    if (exists && !S_ISREG(info.st_mode))
        return Status::fail(ExitCode::BadOutput, "output \"" + m_target + "\" exists and is not a regular file");

    const std::string folder = folderOf(m_target);
    m_folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_folderFd < 0)
        return writeError(("cannot create a file in folder \"" + folder + "\"").c_str(), errno);
    const mode_t mask = currentUmask();
    if (m_allowUnnamed) {
        m_fd = ::openat(m_folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666 & ~mask);
        m_unnamed = m_fd >= 0;
    }
    if (!m_unnamed) {
        // No signal between creating the file and arming its removal.
        interrupt::SignalBlock block;
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            const std::string name = newTemporaryName();
            m_fd = ::openat(m_folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            error = m_fd < 0 ? errno : 0;
            if (m_fd >= 0)
                m_tempName = name;
        }
        if (m_fd < 0)
            return writeError(("cannot create a file in folder \"" + folder + "\"").c_str(), error);
        interrupt::arm(m_folderFd, m_tempName.c_str());
        // Made private, so no one reads it half written; the result gets what any new file in
        // the folder would.
        ::fchmod(m_fd, 0666 & ~mask);
    }
    m_buffer.reserve(kBufferSize);
    return Status::success();
}

Status OutputFile::flushBuffer()
{
    if (m_buffer.empty())
        return Status::success();
    if (const int error = writeAll(m_fd, m_buffer.data(), m_buffer.size()))
        return writeError("cannot write", error);
    m_buffer.clear();
    return Status::success();
}

Status OutputFile::write(std::span<const unsigned char> bytes)
{
    if (m_observer)
        m_observer(bytes);
    if (m_buffer.size() + bytes.size() > kBufferSize) {
        if (Status s = flushBuffer(); !s.ok())
            return s;
        if (bytes.size() > kBufferSize) {
            if (const int error = writeAll(m_fd, bytes.data(), bytes.size()))
                return writeError("cannot write", error);
            return Status::success();
        }
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    return Status::success();
}

Status OutputFile::overwriteStart(std::span<const unsigned char> bytes)
{
    if (Status s = flushBuffer(); !s.ok())
        return s;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return writeError("cannot write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return Status::success();
}

Status OutputFile::nameUnnamed()
{
    // Through /proc, as linking a file by its descriptor alone takes a privilege.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        const std::string name = newTemporaryName();
        error = ::linkat(AT_FDCWD, self.c_str(), m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        if (error == ENOENT && ::linkat(m_fd, "", m_folderFd, name.c_str(), AT_EMPTY_PATH) == 0)
            error = 0; // no /proc, but the privilege
        if (error == 0) {
            m_tempName = name;
            interrupt::arm(m_folderFd, m_tempName.c_str());
        }
    }
    if (error != 0)
        return writeError("cannot give the finished file a name", error);
    return Status::success();
}

Status OutputFile::commit()
{
    if (Status s = flushBuffer(); !s.ok())
        return s;
    interrupt::SignalBlock block;
    if (m_unnamed) {
        if (Status s = nameUnnamed(); !s.ok())
            return s;
    }
    // close() reports errors some file systems hold back until then (NFS, quotas).
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return writeError("cannot write", errno);
    // The target's folder by its path: one renamed meanwhile no longer holds the target.
    if (::renameat(m_folderFd, m_tempName.c_str(), AT_FDCWD, m_target.c_str()) != 0)
        return writeError("cannot rename the finished file into place", errno);
    m_committed = true;
    interrupt::disarm();
    block.keepBlocked();
    return Status::success();
}

} // namespace fastencc
