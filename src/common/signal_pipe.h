#pragma once

// A pipe that the program's signal handler (see program_signals.h) writes a
// byte to while it lives, so that an event loop waiting for events wakes at
// a signal: a notifier on readEnd() tells it. Raises Exception when the pipe
// cannot be made.
class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    int readEnd() const { return m_fds[0]; }
    // Reads the bytes written so far: a notifier left on readEnd() would
    // otherwise tell of the same signal again.
    void drain();

private:
    int m_fds[2] = {-1, -1};
};
