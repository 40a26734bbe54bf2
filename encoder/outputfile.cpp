#include "encoder/outputfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

OutputFile::OutputFile(std::string target)
    : m_target(std::move(target))
{
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_tempPath.empty() && !m_committed) {
        interrupt::SignalBlock block;
        interrupt::disarm();
        ::unlink(m_tempPath.c_str());
    }
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
    std::string pattern = folder + "/.fastencc-XXXXXX.part";
    const mode_t mask = currentUmask();
    {
        // No signal between creating the file and arming its removal.
        interrupt::SignalBlock block;
        m_fd = ::mkstemps(pattern.data(), 5);
        if (m_fd < 0) {
            const int error = errno;
            return writeError(("cannot create a file in folder \"" + folder + "\"").c_str(), error);
        }
        m_tempPath = pattern;
        if (!interrupt::arm(m_tempPath.c_str()))
            return Status::fail(ExitCode::BadOutput, "output \"" + m_target + "\": path too long");
    }
    // mkstemp makes the file private; the result gets what any new file in the folder would.
    ::fchmod(m_fd, 0666 & ~mask);
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

Status OutputFile::commit()
{
    if (Status s = flushBuffer(); !s.ok())
        return s;
    // close() reports errors some file systems hold back until then (NFS, quotas).
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return writeError("cannot write", errno);

    interrupt::SignalBlock block;
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return writeError("cannot rename the finished file into place", errno);
    m_committed = true;
    interrupt::disarm();
    block.keepBlocked();
    return Status::success();
}

} // namespace fastencc
