#pragma once

#include <string>

namespace fastencc {

// Exit status of the program; the usage text lists them for callers.
enum class ExitCode : int {
    Ok = 0,
    Failure = 1,   // the MP3 encoder or a library failed for a reason of its own
    Usage = 2,     // bad command line
    BadInput = 3,  // INPUT missing, unreadable, not audio or not decodable
    BadOutput = 4, // OUTPUT cannot be created or written
    SameFile = 5,  // INPUT and OUTPUT are one file
};

// Exit status after SIGINT, SIGTERM or SIGHUP: 128 + the signal number, as shells report it.
constexpr int interruptedExitCode(int signalNumber)
{
    return 128 + signalNumber;
}

// What a step did: Ok, or the exit code to end with and the one line that says why.
struct Status
{
    ExitCode code = ExitCode::Ok;
    std::string message;

    bool ok() const { return code == ExitCode::Ok; }
    static Status success() { return {}; }
    static Status fail(ExitCode c, std::string text) { return {c, std::move(text)}; }
};

} // namespace fastencc
