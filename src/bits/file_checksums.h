#pragma once

#include "bits/sha256_accumulator.h"

#include <QString>
#include <QtGlobal>

#include <functional>

class FileAccess;

// The two checksums of a file's contents, given its full name, computed fast:
// for every file they equal FileCrc16Reference and FileXor32Reference (the
// tests' yardsticks in tests/support/reference/bits_reference_checksums.h),
// for files of any size.
//
// A file whose size the operating system gives as 0 checks as 0 for both,
// whatever reading it would give (as the step-by-step definition, which reads
// no further than the size found at open). A file that cannot be opened, or any
// block of it that cannot be read, raises EFileBitError with the fixed text
// followed by fullName: no checksum is given for part of a file.

// The division remainder by x^16 + x^12 + x^5 + 1; always 0 .. 65535.
qint32 FileCrc16(const QString& fullName);

// The exclusive or of the 4-byte groups, each byte bit-reversed; any value.
qint32 FileXor32(const QString& fullName);

struct FileSums {
    qint32 crc1; // FileCrc16
    qint32 crc2; // FileXor32
};

// Both checksums from one read of the file.
FileSums FileChecksums(const QString& fullName);
FileSums FileChecksums(const QString& fullName, FileAccess& access);

// Both checksums and the SHA-256 of the contents, from one read of the file,
// with the same errors. The checksums are those of FileChecksums; the digest
// covers exactly the bytes they count. opened, when given, is told the open
// handle before the file is read (with access, a file descriptor), for what
// else is to be read from the same file.
struct FileDigests {
    FileSums sums;
    Sha256Digest sha256;
};
FileDigests FileChecksumsAndDigest(const QString& fullName);
FileDigests FileChecksumsAndDigest(const QString& fullName, FileAccess& access,
                                   const std::function<void(int handle)>& opened = {});

// The same of a regular file the caller has opened, fd, whose size at open was
// size: what is counted ends there. Reads from where fd stands; the caller
// closes it. Returns 0, or the errno of the read that failed.
int DescriptorChecksumsAndDigest(int fd, qint64 size, FileDigests& read);
