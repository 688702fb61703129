#pragma once

#include "bits/file_access.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <random>
#include <vector>

// Real files in a temporary directory of the test's own.
class TestFiles {
public:
    // Writes contents to a new file and returns its full name.
    QString write(const QByteArray& contents);
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

QByteArray randomBytes(std::mt19937& random, qsizetype size);

// Bit k of bytes, bit 0 of each byte first.
inline int bitAt(const QByteArray& bytes, qint64 k)
{
    return (quint8(bytes[qsizetype(k / 8)]) >> (k % 8)) & 1;
}

// Packs bits (bit i of the result is bits[i]) into bytes, zero-padded.
QByteArray packBits(const std::vector<int>& bits);

// The system's files, except that the failingRead-th read (1 = the first)
// fails; counts the handles opened and closed.
class FaultyFileAccess : public FileAccess {
public:
    explicit FaultyFileAccess(int failingRead = 0) : m_failingRead(failingRead) {}

    int open(const QByteArray& encodedName, bool create) override;
    qint64 size(int handle) override { return system().size(handle); }
    qint64 read(int handle, quint8* buffer, qint64 count) override;
    bool write(int handle, const quint8* buffer, qint64 count) override
    {
        return system().write(handle, buffer, count);
    }
    bool close(int handle) override;

    int openCount = 0;
    int closeCount = 0;

private:
    int m_failingRead;
    int m_reads = 0;
};
