#include "bits/file_checksums.h"

#include "common/file_name_codec.h"
#include "bits/bit_errors.h"
#include "bits/crc16_accumulator.h"
#include "bits/file_access.h"
#include "bits/xor32_accumulator.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>

namespace {

// Large enough that a system call is rare, small enough to stay in the
// second-level cache while both checksums run over it.
constexpr qint64 kBlockSize = 256 * 1024;

// Calls consume(data, size) for every block of the open file handle, whose
// size at open was size; false when a read failed (errno says why).
template<typename Consume>
bool readOpen(int handle, qint64 size, FileAccess& access, Consume consume)
{
    // One buffer per thread, kept between files: most files are small, and a
    // fresh block-sized allocation would cost more than reading them.
    thread_local const std::unique_ptr<quint8[]> buffer = std::make_unique_for_overwrite<quint8[]>(kBlockSize);
    // The size found at open bounds what counts, as for the bit file; knowing
    // it, a whole file is taken in without a last read to find its end.
    if (size > kBlockSize)
        access.adviseSequential(handle);
    qint64 left = size;
    do {
        const qint64 wanted = std::min(left, kBlockSize);
        // A file reported empty is still read once, so that an unreadable one fails.
        const qint64 got = access.read(handle, buffer.get(), std::max<qint64>(wanted, 1));
        if (got < 0)
            return false;
        const qint64 counted = std::min(got, wanted);
        if (counted > 0)
            consume(buffer.get(), std::size_t(counted));
        if (counted < wanted)
            return true; // it has become shorter
        left -= counted;
    } while (left > 0);
    return true;
}

// Calls consume(data, size) for every block of the file, in order; opened,
// when given, is told the handle first.
template<typename Consume>
void readFile(const QString& fullName, FileAccess& access, Consume consume,
              const std::function<void(int handle)>& opened = {})
{
    const int handle = access.open(EncodeFileName(fullName), false);
    if (handle < 0)
        throw EFileBitError(fullName);
    struct Closer {
        FileAccess& access;
        int handle;
        // Nothing was written, so a failing close loses nothing that was read.
        ~Closer() { access.close(handle); }
    } closer{access, handle};
    if (opened)
        opened(handle);

    const qint64 size = access.size(handle);
    if (size < 0 || !readOpen(handle, size, access, consume))
        throw EFileBitError(fullName);
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

FileDigests FileChecksumsAndDigest(const QString& fullName, FileAccess& access,
                                   const std::function<void(int handle)>& opened)
{
    Crc16Accumulator crc;
    Xor32Accumulator sum;
    Sha256Accumulator sha;
    readFile(
        fullName, access,
        [&](const quint8* data, std::size_t size) {
            crc.add(data, size);
            sum.add(data, size);
            sha.add(data, size);
        },
        opened);
    return {{crc.result(), sum.result()}, sha.result()};
}

int DescriptorChecksumsAndDigest(int fd, qint64 size, FileDigests& read)
{
    Crc16Accumulator crc;
    Xor32Accumulator sum;
    Sha256Accumulator sha;
    if (!readOpen(fd, size, FileAccess::system(), [&](const quint8* data, std::size_t length) {
            crc.add(data, length);
            sum.add(data, length);
            sha.add(data, length);
        }))
        return errno;
    read = {{crc.result(), sum.result()}, sha.result()};
    return 0;
}

FileDigests FileChecksumsAndDigest(const QString& fullName)
{
    return FileChecksumsAndDigest(fullName, FileAccess::system());
}
