#pragma once

#include <memory>

namespace fastencc::interrupt {

// Sets up every signal so that no way of dying leaves the armed temporary file behind:
// - SIGINT, SIGTERM and SIGHUP stop the program at once with exit status 128 + the signal number.
// - Every other signal whose default action ends the process, whether a fault of the program
//   (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT from a failed assertion ...) or one sent to it
//   (SIGQUIT, SIGALRM, SIGUSR1, SIGXCPU ...), still ends it by that signal with its default
//   action, core dump included, so whoever waits for the program sees what happened.
// Both handlers remove the armed file first and do nothing else a signal handler may not do
// (unlink, _exit, raise). Faults are handled on an alternate stack, so a stack overflow is
// caught too; other threads need an AlternateStack of their own. A library calling exit()
// removes the file as well. SIGPIPE and SIGXFSZ are ignored, so neither a closed standard
// output nor the file-size limit can kill the program: the write fails and the file is removed
// like after any write error.
// The program also ends with the process that started it: when that parent dies (a desktop
// program killed, or crashed, during a run), the kernel sends kParentDeathSignal, which removes
// the armed file and ends the program as SIGTERM does (status 143). The same signal while the
// parent lives (sent when the thread that started the program ends, or from outside) is ignored.
// A parent already gone at start-up (before the kernel could be asked) ends it at once.
// Call once at start-up, before any other thread exists.
void install();

// The signal the kernel sends when the parent process dies: one of the real-time signals that
// nothing else sends.
int parentDeathSignal();

// Gives the calling thread its own stack for the fault handler for the object's lifetime, so
// a fault caused by a stack overflow on this thread still removes the temporary file.
class AlternateStack final
{
public:
    AlternateStack();
    ~AlternateStack();
    AlternateStack(const AlternateStack &) = delete;
    AlternateStack &operator=(const AlternateStack &) = delete;

private:
    std::unique_ptr<unsigned char[]> m_memory;
    bool m_active = false;
};

// Blocks the signals that arrive from outside (all that end the program, faults aside) for
// the lifetime of the object, so arming, disarming and the final rename are never cut in half.
class SignalBlock final
{
public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock &) = delete;
    SignalBlock &operator=(const SignalBlock &) = delete;
    void keepBlocked() { m_restore = false; }

    static constexpr unsigned kSavedSize = 128;

private:
    bool m_restore = true;
    unsigned char m_saved[kSavedSize]; // the previous sigset_t, kept opaque to spare callers <signal.h>
};

// Names the file a signal must remove: name in the folder open as folderFd (which stays open
// while armed). Call with the signals blocked. A name longer than a file name may be is
// refused (returns false).
bool arm(int folderFd, const char *name);
// Forgets the file; a signal after this removes nothing.
void disarm();

} // namespace fastencc::interrupt
