#include "storage/bounded_detach.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::chrono::seconds kDetachLimit{10};

std::atomic<bool> g_abandoned{false};

} // namespace

bool CloseWithinLimit(QSqlDatabase db)
{
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    // The thread keeps its own copy of the connection, which outlives this
    // call when the detach is left running.
    std::thread detaching([db, closed]() mutable {
        db.close();
        closed->set_value();
    });
    if (done.wait_for(kDetachLimit) == std::future_status::ready) {
        detaching.join();
        return true;
    }
    detaching.detach();
    g_abandoned = true;
    return false;
}

bool DetachAbandoned()
{
    return g_abandoned.load();
}

void EndIfDetachAbandoned(int status)
{
    if (!DetachAbandoned())
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}
