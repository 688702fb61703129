// libFuzzer target: for any contents, the fast checksums equal the
// step-by-step ones, and feeding the accumulators in pieces changes nothing.

#include "bits/crc16_accumulator.h"
#include "bits/file_checksums.h"
#include "bits/xor32_accumulator.h"
#include "support/reference/bits_reference_checksums.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "mismatch: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString name = dir.filePath(QStringLiteral("input.bin"));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const FileSums sums = FileChecksums(name);
    check(sums.crc1 == FileCrc16Reference(name), "FileCrc16");
    check(sums.crc2 == FileXor32Reference(name), "FileXor32");

    // Pieces whose sizes come from the data itself.
    Crc16Accumulator crc;
    Xor32Accumulator sum;
    for (size_t at = 0; at < size;) {
        const size_t piece = std::min<size_t>(size - at, 1 + data[at] % 37);
        crc.add(data + at, piece);
        sum.add(data + at, piece);
        at += piece;
    }
    check(crc.result() == sums.crc1, "FileCrc16 in pieces");
    check(sum.result() == sums.crc2, "FileXor32 in pieces");
    return 0;
}
