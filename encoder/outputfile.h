#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "encoder/status.h"

namespace fastencc {

// The MP3 file being written. Bytes go to a file in the target's folder that has no name while it
// is written (O_TMPFILE), so however the program ends, nothing unfinished is ever seen or left;
// commit() gives it a name once complete and renames that over the target. On a file system
// without unnamed files it is written under a temporary name instead, armed for the interrupt
// handler and removed by the destructor, through the folder itself, so a failed or stopped run
// leaves nothing behind even when the folder was renamed meanwhile. A file already at the target
// is never touched unless a complete one replaces it.
class OutputFile final
{
public:
    // allowUnnamed false always takes the temporary name (for tests of that way).
    explicit OutputFile(std::string target, bool allowUnnamed = true);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the file. Fails with ExitCode::BadOutput when the folder is missing or read-only,
    // or the target is a folder.
    Status create();
    Status write(std::span<const unsigned char> bytes);
    // Also hands every write()'s bytes to observer, on the writing thread (the loudness of the
    // stream is measured from them); overwriteStart() is not observed.
    void observe(std::function<void(std::span<const unsigned char>)> observer) { m_observer = std::move(observer); }
    // Replaces the first bytes of the file (the MP3 info frame, known only at the end).
    Status overwriteStart(std::span<const unsigned char> bytes);
    // Writes what is buffered, gives the file the usual permissions and renames it over the
    // target. Signals stay blocked afterwards: once the file is in place, nothing undoes it.
    Status commit();

    // Whether the file being written has no name (else it is temporaryName() in the folder).
    bool unnamed() const { return m_unnamed; }
    const std::string &temporaryName() const { return m_tempName; }

private:
    Status flushBuffer();
    Status writeError(const char *what, int error) const;
    // Gives the unnamed file a temporary name in the folder, armed for the interrupt handler.
    Status nameUnnamed();

    std::string m_target;
    bool m_allowUnnamed;
    bool m_unnamed = false;
    int m_folderFd = -1;    // the target's folder, as it was when the file was created
    std::string m_tempName; // in that folder, while the file has one
    int m_fd = -1;
    bool m_committed = false;
    std::vector<unsigned char> m_buffer;
    std::function<void(std::span<const unsigned char>)> m_observer;
};

} // namespace fastencc
