#pragma once

#include "common/exception.h"

#include <atomic>
#include <csignal>

// A request to stop the running command, made by a signal handler, a cancel
// button or another thread, and honoured by the command itself at its next
// file or row (see Progress). The request holds the signal that made it, or 0.
//
// Lock-free atomics, so the signal handlers may use every function here.
namespace CommandStop {

inline std::atomic<int> requested{-1}; // -1: no request; else the signal, 0 for none
inline std::atomic<bool> running{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

inline void ask(int signal = 0) { requested.store(signal); }
inline bool asked() { return requested.load() >= 0; }
inline int signal() { return requested.load(); }

// Marks a command as running for its lifetime, with no stop asked at its start.
class Running {
public:
    Running() { requested.store(-1); running.store(true); }
    ~Running() { running.store(false); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

} // namespace CommandStop

// The running command was stopped on request. What it did is undone by the
// one who ran it; the front end then says so, not as an error.
class ECommandStopped : public Exception {
public:
    explicit ECommandStopped(int signal);
    // The same, with the words of a command that has nothing to undo.
    ECommandStopped(int signal, QString message);
    // The signal that asked for the stop, or 0 for the window's cancel button.
    int signal() const { return m_signal; }

private:
    int m_signal;
};

// Raises ECommandStopped when a stop has been asked.
void StopIfAsked();
