#include "encoder/interrupt.h"

#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace fastencc::interrupt {

namespace {

// Written only while the signals are blocked, read only by the handler.
volatile std::sig_atomic_t g_armed = 0;
char g_path[PATH_MAX + 1];

extern "C" void onTerminate(int signalNumber)
{
    if (g_armed)
        ::unlink(g_path);
    ::_exit(128 + signalNumber);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t terminatingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals)
        sigaddset(&set, s);
    return set;
}

} // namespace

static_assert(sizeof(sigset_t) <= SignalBlock::kSavedSize, "sigset_t must fit the saved buffer");

void install()
{
    struct sigaction action {};
    action.sa_handler = onTerminate;
    action.sa_mask = terminatingSignals(); // one handler at a time
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);

    // A write past the file-size limit then fails with EFBIG like any write error, and the
    // temporary file is removed, instead of the process dying with it in place.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

SignalBlock::SignalBlock()
{
    const sigset_t set = terminatingSignals();
    sigset_t old;
    ::pthread_sigmask(SIG_BLOCK, &set, &old);
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

bool arm(const char* path)
{
    const std::size_t length = std::strlen(path);
    if (length >= sizeof g_path)
        return false;
    std::memcpy(g_path, path, length + 1);
    g_armed = 1;
    return true;
}

void disarm()
{
    g_armed = 0;
}

} // namespace fastencc::interrupt
