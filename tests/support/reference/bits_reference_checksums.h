#pragma once

#include <QString>
#include <QtGlobal>

class FileAccess;

// The two file checksums computed step by step through TStr_Bit and TBitFile,
// as the checksum's definition reads: slow, kept as the yardstick that the
// production functions of file_checksums.h are tested against.
//
// Both read the file once in blocks of 8192 bytes. An open failure or a failed
// first block raises EFileBitError with the fixed text (from TBitFile); a
// failed later block raises EFileBitError followed by the file's name instead
// of giving a checksum over part of the file.

// The remainder of the file's bits (bit 0 of the first byte the highest power)
// divided by x^16 + x^12 + x^5 + 1, read from the division register.
qint32 FileCrc16Reference(const QString& fullName);
qint32 FileCrc16Reference(const QString& fullName, FileAccess& access);

// The exclusive or of the file's 4-byte groups, each byte bit-reversed.
qint32 FileXor32Reference(const QString& fullName);
qint32 FileXor32Reference(const QString& fullName, FileAccess& access);
