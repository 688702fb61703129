#include "common/program_signals.h"

#include "common/command_stop.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t g_installed = 0;
volatile sig_atomic_t g_endOutsideCommand = 0;
volatile sig_atomic_t g_notifyFd = -1;
// The signals that were ignored when the program started (nohup, a service
// manager): they stay ignored, as whoever started the program asked.
bool g_ignored[std::size(kSignals)] = {};
// Threads inside the engine's attach, detach or commit, and the signal that
// is to end the program once they are all out.
std::atomic<int> g_engineSections{0};
volatile sig_atomic_t g_endWhenOut = 0;
thread_local int t_engineSections = 0;

// Ends the program by the signal's default action. Blocked while a handler
// runs, the raised signal is delivered as soon as it returns.
void endBy(int signal)
{
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void onSignal(int signal)
{
    const int savedErrno = errno;
    const bool pending = CommandStop::signal() > 0;
    if (pending || (g_endOutsideCommand && !CommandStop::running.load())) {
        // Another thread may be inside the engine: ending there could leave
        // the engine's shared state broken for every program of the database.
        g_endWhenOut = signal;
        if (g_engineSections.load() == 0)
            endBy(signal);
    } else {
        CommandStop::ask(signal);
        if (g_notifyFd >= 0) {
            const char byte = char(signal);
            (void)!write(g_notifyFd, &byte, 1);
        }
    }
    errno = savedErrno;
}

struct sigaction ours()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    return action;
}

sigset_t programSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

void InstallProgramSignals(bool endOutsideCommand)
{
    g_endOutsideCommand = endOutsideCommand;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction current {};
        g_ignored[i] = sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
    }
    g_installed = 1;
    ReclaimProgramSignals();
}

void SetSignalNotifyFd(int fd)
{
    g_notifyFd = fd;
}

void ReclaimProgramSignals()
{
    if (!g_installed)
        return;
    const struct sigaction action = ours();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], g_ignored[i] ? &ignore : &action, nullptr);
}

bool ProgramHandlesSignal(int signal)
{
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0)
        return false;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        if (kSignals[i] == signal && g_ignored[i])
            return current.sa_handler == SIG_IGN;
    return current.sa_handler == onSignal;
}

// The signals are blocked in the thread inside a section: they wait, pending,
// until it ends, and the engine's own handlers, which it installs as it first
// attaches, never see them. A signal another thread handles meanwhile ends the
// program only when the last section ends.
EngineSection::EngineSection()
{
    if (t_engineSections++ == 0) {
        const sigset_t set = programSignals();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        ++g_engineSections;
    }
}

EngineSection::~EngineSection()
{
    if (--t_engineSections == 0) {
        ReclaimProgramSignals();
        if (--g_engineSections == 0 && g_endWhenOut)
            endBy(g_endWhenOut);
        const sigset_t set = programSignals();
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}
