// An ordinary user racing a walk: each time the directory TRIGGER has been
// listed and closed, swaps the paths A and B (renameat2 with RENAME_EXCHANGE:
// B is a symbolic link to somewhere else), and swaps them back once BACK (a
// directory beyond the link) has been closed, or after a few milliseconds. A
// walk that opens names by their paths is then led through the link while
// the listing it made stands for the real directory.
//
//   name_swapper UID GID TRIGGER A B BACK
//
// Drops to UID and GID first, and runs until SIGTERM; prints the number of
// swaps made on stdout as it ends.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopping = 0;

void stop(int)
{
    stopping = 1;
}

bool exchange(const char* a, const char* b)
{
    return renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE) == 0;
}

// Waits for an event of the watch wd, or for timeoutMs; false when stopping.
bool waitFor(int inotify, int wd, int timeoutMs)
{
    alignas(inotify_event) char buffer[4096];
    // In short waits, so that a SIGTERM that comes between two is seen.
    constexpr int kStep = 50;
    for (int waited = 0;; waited += kStep) {
        if (stopping)
            return false;
        if (timeoutMs >= 0 && waited >= timeoutMs)
            return true;
        pollfd ready{inotify, POLLIN, 0};
        if (poll(&ready, 1, timeoutMs >= 0 ? std::min(kStep, timeoutMs) : kStep) <= 0)
            continue;
        const ssize_t length = read(inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->wd == wd)
                return true;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: name_swapper UID GID TRIGGER A B BACK\n");
        return 2;
    }
    const gid_t gid = gid_t(std::atol(argv[2]));
    const uid_t uid = uid_t(std::atol(argv[1]));
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        std::perror("name_swapper: dropping privileges");
        return 2;
    }
    std::signal(SIGTERM, stop);
    const int inotify = inotify_init1(IN_CLOEXEC);
    const int trigger = inotify_add_watch(inotify, argv[3], IN_CLOSE_NOWRITE | IN_ONLYDIR);
    const int back = inotify_add_watch(inotify, argv[6], IN_CLOSE_NOWRITE);
    if (inotify < 0 || trigger < 0 || back < 0) {
        std::perror("name_swapper");
        return 2;
    }
    // Ready: the caller waits for this line before it starts the walks.
    std::printf("ready\n");
    std::fflush(stdout);
    long swaps = 0;
    while (waitFor(inotify, trigger, -1)) {
        if (!exchange(argv[4], argv[5]))
            continue;
        ++swaps;
        waitFor(inotify, back, 5);
        exchange(argv[4], argv[5]);
    }
    std::printf("%ld\n", swaps);
    return 0;
}
