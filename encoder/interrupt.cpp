#include "encoder/interrupt.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace fastencc::interrupt {

namespace {

// Written only while the signals are blocked, read only by the handlers.
volatile std::sig_atomic_t g_armed = 0;
int g_folderFd = -1;
char g_name[NAME_MAX + 1];

// The process that started this one; set before any handler is installed.
pid_t g_parent = 0;

void removeArmedFile()
{
    if (g_armed)
        ::unlinkat(g_folderFd, g_name, 0);
}

// A stop the user asked for: ends with the status the usage text promises.
extern "C" void onStop(int signalNumber)
{
    removeArmedFile();
    ::_exit(128 + signalNumber);
}

// Anything else that would end the process. SA_RESETHAND has put the default action back;
// raised again, the signal waits until the handler returns and then ends the process as if
// there had been no handler (a fault that recurs meets the default action as well).
extern "C" void onFatal(int signalNumber)
{
    removeArmedFile();
    ::raise(signalNumber);
}

// The kernel's notice that the parent has died, or that the thread of the parent that started
// this process has ended. Only the first ends the program: then the parent has changed.
extern "C" void onParentDeath(int)
{
    if (::getppid() == g_parent)
        return;
    removeArmedFile();
    ::_exit(128 + SIGTERM);
}

extern "C" void onExit()
{
    removeArmedFile();
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Raised by the program itself, at the faulting instruction or by abort(). Never blocked: a
// blocked fault kills the process without running the handler.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// Sent from outside, with a default action that ends the process; the real-time signals too,
// but for the parent's death notice.
std::vector<int> otherFatalSignals()
{
    std::vector<int> signals = {SIGQUIT, SIGALRM, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2, SIGXCPU, SIGIO, SIGPWR};
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) {
        if (s != parentDeathSignal())
            signals.push_back(s);
    }
    return signals;
}

// What SignalBlock blocks: everything from outside that would end the process.
const sigset_t &outsideSignals()
{
    static const sigset_t signals = [] {
        sigset_t set;
        sigemptyset(&set);
        for (int s : kStopSignals)
            sigaddset(&set, s);
        for (int s : otherFatalSignals())
            sigaddset(&set, s);
        sigaddset(&set, parentDeathSignal());
        return set;
    }();
    return signals;
}

std::size_t alternateStackSize()
{
    std::size_t size = 64 * 1024;
#ifdef _SC_SIGSTKSZ
    // Signal frames grow with the vector registers of the processor.
    const long wanted = ::sysconf(_SC_SIGSTKSZ);
    if (wanted > 0)
        size = std::max(size, 4 * static_cast<std::size_t>(wanted));
#endif
    return size;
}

} // namespace

static_assert(sizeof(sigset_t) <= SignalBlock::kSavedSize, "sigset_t must fit the saved buffer");

void install()
{
    static AlternateStack mainThreadStack;

    // One handler at a time: a second signal waits until the first has removed the file.
    struct sigaction stop
    {
    };
    stop.sa_handler = onStop;
    stop.sa_mask = outsideSignals();
    for (int s : kStopSignals)
        ::sigaction(s, &stop, nullptr);

    struct sigaction fatal
    {
    };
    fatal.sa_handler = onFatal;
    fatal.sa_mask = outsideSignals();
    fatal.sa_flags = SA_RESETHAND | SA_ONSTACK;
    for (int s : kFaultSignals)
        ::sigaction(s, &fatal, nullptr);
    for (int s : otherFatalSignals())
        ::sigaction(s, &fatal, nullptr); // fails harmlessly for a signal the C library keeps

    // A write past the file-size limit then fails with EFBIG like any write error, and the
    // temporary file is removed, instead of the process dying with it in place.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    std::atexit(onExit);

    // The parent at start; should it die between here and the request to the kernel, the
    // parent has changed by the time it is asked again.
    g_parent = ::getppid();
    struct sigaction parentDeath
    {
    };
    parentDeath.sa_handler = onParentDeath;
    parentDeath.sa_mask = outsideSignals();
    parentDeath.sa_flags = SA_RESTART; // ignored while the parent lives: reads and writes go on
    ::sigaction(parentDeathSignal(), &parentDeath, nullptr);
    ::prctl(PR_SET_PDEATHSIG, parentDeathSignal());
    if (::getppid() != g_parent)
        ::raise(parentDeathSignal());
}

int parentDeathSignal()
{
    return SIGRTMIN + 3;
}

AlternateStack::AlternateStack()
{
    const std::size_t size = alternateStackSize();
    m_memory = std::make_unique<unsigned char[]>(size);
    stack_t stack{};
    stack.ss_sp = m_memory.get();
    stack.ss_size = size;
    m_active = ::sigaltstack(&stack, nullptr) == 0;
}

AlternateStack::~AlternateStack()
{
    if (!m_active)
        return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
}

SignalBlock::SignalBlock()
{
    sigset_t old;
    ::pthread_sigmask(SIG_BLOCK, &outsideSignals(), &old);
    std::memcpy(m_saved, &old, sizeof old);
}

SignalBlock::~SignalBlock()
{
    if (!m_restore)
        return;
    sigset_t old;
    std::memcpy(&old, m_saved, sizeof old);
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

bool arm(int folderFd, const char *name)
{
    const std::size_t length = std::strlen(name);
    if (length >= sizeof g_name)
        return false;
    g_folderFd = folderFd;
    std::memcpy(g_name, name, length + 1);
    // A fault is never blocked: the whole path must be in place before a handler can see it.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_armed = 1;
    return true;
}

void disarm()
{
    g_armed = 0;
}

} // namespace fastencc::interrupt
