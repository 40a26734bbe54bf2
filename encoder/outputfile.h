#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "encoder/status.h"

namespace fastencc {

// The MP3 file being written. Bytes go to a temporary file in the target's folder, which is
// renamed over the target by commit() once complete. Until then the temporary is armed for the
// interrupt handler, and the destructor removes it, so a failed or stopped run leaves nothing
// behind and never touches a file already at the target.
class OutputFile final
{
public:
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the temporary file. Fails with ExitCode::BadOutput when the folder is missing or
    // read-only, or the target is a folder.
    Status create();
    Status write(std::span<const unsigned char> bytes);
    // Replaces the first bytes of the file (the MP3 info frame, known only at the end).
    Status overwriteStart(std::span<const unsigned char> bytes);
    // Writes what is buffered, gives the file the usual permissions and renames it over the
    // target. Signals stay blocked afterwards: once the file is in place, nothing undoes it.
    Status commit();

    const std::string &temporaryPath() const { return m_tempPath; }

private:
    Status flushBuffer();
    Status writeError(const char *what, int error) const;

    std::string m_target;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_committed = false;
    std::vector<unsigned char> m_buffer;
};

} // namespace fastencc
