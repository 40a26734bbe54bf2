#pragma once

namespace fastencc::interrupt {

// SIGINT, SIGTERM and SIGHUP end the program at once with exit status 128 + the signal number,
// removing the armed temporary file first (the handler does only unlink and _exit, both safe in
// a signal handler). SIGPIPE and SIGXFSZ are ignored so neither a closed standard output nor
// the file-size limit can kill the program while a temporary file exists. Call once at start-up, before any other thread exists.
void install();

// Blocks the three signals for the lifetime of the object, so arming, disarming and the final
// rename are never cut in half.
class SignalBlock final {
public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;
    void keepBlocked() { m_restore = false; }

    static constexpr unsigned kSavedSize = 128;

private:
    bool m_restore = true;
    unsigned char m_saved[kSavedSize]; // the previous sigset_t, kept opaque to spare callers <signal.h>
};

// Names the file a signal must remove. Call with the signals blocked. Paths longer than the
// handler's buffer are refused (returns false).
bool arm(const char* path);
// Forgets the file; a signal after this removes nothing.
void disarm();

} // namespace fastencc::interrupt
