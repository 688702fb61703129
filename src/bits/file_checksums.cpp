#include "bits/file_checksums.h"

#include "bits/bit_errors.h"
#include "bits/crc16_accumulator.h"
#include "bits/file_access.h"
#include "bits/xor32_accumulator.h"

#include <QFile>

#include <memory>

namespace {

// Large enough that a system call is rare, small enough to stay in the
// second-level cache while both checksums run over it.
constexpr qint64 kBlockSize = 256 * 1024;

// Calls consume(data, size) for every block of the file, in order.
template<typename Consume>
void readFile(const QString& fullName, FileAccess& access, Consume consume)
{
    const int handle = access.open(QFile::encodeName(fullName), false);
    if (handle < 0)
        throw EFileBitError(fullName);
    struct Closer {
        FileAccess& access;
        int handle;
        // Nothing was written, so a failing close loses nothing that was read.
        ~Closer() { access.close(handle); }
    } closer{access, handle};

    // One buffer per thread, kept between files: most files are small, and a
    // fresh block-sized allocation would cost more than reading them.
    thread_local const std::unique_ptr<quint8[]> buffer = std::make_unique_for_overwrite<quint8[]>(kBlockSize);
    const qint64 size = access.size(handle);
    for (bool first = true;; first = false) {
        const qint64 got = access.read(handle, buffer.get(), kBlockSize);
        if (got < 0)
            throw EFileBitError(fullName);
        // The size found at open bounds what counts, as for the bit file: a
        // file reported empty is still read once so that an unreadable one fails.
        if (first && size == 0)
            return;
        if (got > 0)
            consume(buffer.get(), std::size_t(got));
        if (got < kBlockSize)
            return;
    }
}

} // namespace

qint32 FileCrc16(const QString& fullName)
{
    Crc16Accumulator crc;
    readFile(fullName, FileAccess::system(), [&](const quint8* data, std::size_t size) { crc.add(data, size); });
    return crc.result();
}

qint32 FileXor32(const QString& fullName)
{
    Xor32Accumulator sum;
    readFile(fullName, FileAccess::system(), [&](const quint8* data, std::size_t size) { sum.add(data, size); });
    return sum.result();
}

FileSums FileChecksums(const QString& fullName, FileAccess& access)
{
    Crc16Accumulator crc;
    Xor32Accumulator sum;
    readFile(fullName, access, [&](const quint8* data, std::size_t size) {
        crc.add(data, size);
        sum.add(data, size);
    });
    return {crc.result(), sum.result()};
}

FileSums FileChecksums(const QString& fullName)
{
    return FileChecksums(fullName, FileAccess::system());
}
