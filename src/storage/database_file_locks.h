#pragma once

#include <QString>

// The locks a program holds on a local database file besides the engine's own,
// as open-file-description locks on bytes far beyond the file's end, where the
// engine never looks and a write never reaches.
//
// Attaching: the engine lets in every process that runs in its shared mode,
// but keeps the file consistent only among those that share a lock directory.
// Each program marks the file with a byte of its user and lock directory and
// is refused when another's mark is there: another user's program, or one of
// the same user with another FIREBIRD_LOCK.
//
// Writing: one program at a time changes the database, from the statement
// before it reads the largest id until its transaction ends.
class DatabaseFileLocks {
public:
    // Marks path (a local database file) as attached. Raises EDatabaseError
    // naming shownName when a program of another user or lock directory has
    // it open. A file that cannot be opened, or a file system without these
    // locks, is let be: the engine then says what is wrong, or takes the file
    // for itself alone.
    DatabaseFileLocks(const QString& path, const QString& shownName);
    ~DatabaseFileLocks();
    DatabaseFileLocks(const DatabaseFileLocks&) = delete;
    DatabaseFileLocks& operator=(const DatabaseFileLocks&) = delete;

    // Attaching and detaching: one program at a time, as the engine's shared
    // state for a file is made and torn down then. Waits for the other.
    void beginAttaching();
    void endAttaching();

    // Takes the write lock unless another program holds it; never waits.
    bool tryLockWriting();
    void unlockWriting();
    bool writing() const { return m_writing; }

private:
    int m_fd = -1;
    bool m_writing = false;
};
