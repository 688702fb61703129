#include "common/program_signals.h"

#include "common/command_stop.h"

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

void onSignal(int signal)
{
    const int savedErrno = errno;
    const bool pending = CommandStop::signal() > 0;
    if (pending || (g_endOutsideCommand && !CommandStop::running.load())) {
        // Blocked while this handler runs, the raised signal is delivered, to
        // the default action, as soon as it returns.
        std::signal(signal, SIG_DFL);
        raise(signal);
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

} // namespace

void InstallProgramSignals(bool endOutsideCommand, int notifyFd)
{
    g_endOutsideCommand = endOutsideCommand;
    g_notifyFd = notifyFd;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction current {};
        g_ignored[i] = sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
    }
    g_installed = 1;
    ReclaimProgramSignals();
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
