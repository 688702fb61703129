#pragma once

#include <QByteArray>
#include <QtGlobal>

// The file operations the checksum engine makes, behind an interface so that a
// test can make a block read fail half way through a real file. Handles are
// small non-negative integers; every operation reports failure by -1 or
// false and sets errno.
class FileAccess {
public:
    virtual ~FileAccess() = default;

    // Opens an existing file for reading only, or, with create, creates the
    // file or empties it for writing. The name is already encoded for the
    // operating system (QFile::encodeName).
    virtual int open(const QByteArray& encodedName, bool create) = 0;
    // The file's size in bytes.
    virtual qint64 size(int handle) = 0;
    // Says that the file will be read from start to end; only advice.
    virtual void adviseSequential(int /*handle*/) {}
    // Reads up to count bytes; fewer only at the end of the file.
    virtual qint64 read(int handle, quint8* buffer, qint64 count) = 0;
    // Writes all count bytes, or fails.
    virtual bool write(int handle, const quint8* buffer, qint64 count) = 0;
    // Closes the handle; it is released even when this reports a failure.
    virtual bool close(int handle) = 0;

    // The operating system's files (POSIX).
    static FileAccess& system();
};

// open(2) for reading (flags holds O_RDONLY and any others) that leaves the
// access time of the file or directory as it was: a watched file is not to
// change because it was checked, and a check that updated every access time
// would write to the disk for each file. Only the owner (or root) may ask so;
// for others it opens as usual. Retries when interrupted; -1 and errno as
// open(2) on failure.
int OpenForReading(const QByteArray& encodedName, int flags);
// The same for a name relative to the open directory dirFd (AT_FDCWD: the
// working directory), as openat(2).
int OpenForReadingAt(int dirFd, const char* name, int flags);
