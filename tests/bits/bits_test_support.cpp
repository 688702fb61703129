#include "bits_test_support.h"

#include <QFile>

#include <cerrno>
#include <stdexcept>

QString TestFiles::write(const QByteArray& contents)
{
    const QString name = m_dir.filePath(QStringLiteral("f%1.bin").arg(m_count++));
    QFile file(name);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        throw std::runtime_error("cannot write a test file");
    return name;
}

QByteArray randomBytes(std::mt19937& random, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random() & 0xFF);
    return bytes;
}

QByteArray packBits(const std::vector<int>& bits)
{
    QByteArray bytes(qsizetype((bits.size() + 7) / 8), '\0');
    for (std::size_t i = 0; i < bits.size(); ++i)
        bytes[qsizetype(i / 8)] = char(quint8(bytes[qsizetype(i / 8)]) | unsigned(bits[i]) << (i % 8));
    return bytes;
}

int FaultyFileAccess::open(const QByteArray& encodedName, bool create)
{
    const int handle = system().open(encodedName, create);
    openCount += handle >= 0;
    return handle;
}

qint64 FaultyFileAccess::read(int handle, quint8* buffer, qint64 count)
{
    if (++m_reads == m_failingRead) {
        errno = EIO;
        return -1;
    }
    return system().read(handle, buffer, count);
}

bool FaultyFileAccess::close(int handle)
{
    ++closeCount;
    return system().close(handle);
}
