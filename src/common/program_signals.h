#pragma once

// The program's own handling of SIGINT, SIGTERM and SIGHUP: a signal asks the
// running command to stop (CommandStop), which then undoes its work and ends.
//
// With endOutsideCommand (the console), a signal while no command runs, or a
// second one while a stop is pending, ends the program at once by the signal's
// default action. Without it (the window), a signal wakes the event loop
// through a SignalPipe, for the loop to end the program in its own time; a
// second signal while the first is pending ends it at once.
// A signal ignored when this is first called (nohup, a service manager) stays
// ignored.
void InstallProgramSignals(bool endOutsideCommand);

// From now on a signal that asks a stop also writes one byte to fd, to wake
// an event loop that waits on the other end (see SignalPipe); -1 for nowhere.
void SetSignalNotifyFd(int fd);

// Puts the program's handlers back: the database client installs its own for
// SIGINT and SIGTERM as it connects, and those would swallow the signals. Does
// nothing before InstallProgramSignals.
void ReclaimProgramSignals();

// Whether signal is handled as the program means to: by its own handler, or
// ignored where it was ignored at the start (for tests).
bool ProgramHandlesSignal(int signal);

// Marks the calling thread as inside the database engine's attach, detach or
// commit for its lifetime: SIGINT, SIGTERM and SIGHUP wait until the outermost
// section ends, and then reach the program's own handlers. Ended inside one,
// or handled by the engine's handlers there, a program could leave the
// engine's shared state broken for every other program of the same database.
class EngineSection {
public:
    EngineSection();
    ~EngineSection();
    EngineSection(const EngineSection&) = delete;
    EngineSection& operator=(const EngineSection&) = delete;
};
