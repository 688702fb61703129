#include "support/reference/bits_reference_checksums.h"

#include "bits/bit_errors.h"
#include "bits/file_access.h"
#include "support/reference/bits_bit_file.h"
#include "support/reference/bits_str_bit.h"

namespace {

constexpr qint32 kRequestedBuffer = 8192;

void readOrThrow(TBitFile& file, qint32 n, const QString& fullName)
{
    if (file.ReadBits(n) == kBitFileReadFailed)
        throw EFileBitError(fullName);
}

} // namespace

qint32 FileXor32Reference(const QString& fullName, FileAccess& access)
{
    TBitFile file(access);
    file.Open(fullName, bfRead, kRequestedBuffer);
    file.SetReversed();
    TStr_Bit accumulator;
    accumulator.Clear(32);
    TStr_Bit filler;
    filler.Clear(8);
    for (;;) {
        readOrThrow(file, 32, fullName);
        const qint32 delivered = file.length();
        while (file.length() < 32)
            file.AddBits(filler);
        accumulator.Combine(file, boXor);
        if (delivered < 32)
            break;
    }
    const auto result = qint32(accumulator.GetBits(0, 32));
    file.Close();
    return result;
}

qint32 FileXor32Reference(const QString& fullName)
{
    return FileXor32Reference(fullName, FileAccess::system());
}

qint32 FileCrc16Reference(const QString& fullName, FileAccess& access)
{
    TBitFile file(access);
    file.Open(fullName, bfRead, kRequestedBuffer);
    const qint64 size = file.BitSize();
    TStr_Bit reg;
    reg.Clear(17);
    TStr_Bit divisor;
    divisor.LoadStr(QStringLiteral("10001000000100001"));
    readOrThrow(file, 17, fullName);
    reg.AssignBits(file);
    if (size > 17) {
        for (;;) {
            reg.Invert();
            const qint32 leadingZeros = reg.FirstZero();
            reg.Invert();
            if (leadingZeros > 0) {
                readOrThrow(file, leadingZeros, fullName);
                reg.AddBits(file);
                reg.DelBits(0, leadingZeros);
            }
            if (reg.length() != 17)
                break;
            reg.Combine(divisor, boXor);
        }
    }
    qint32 result = 0;
    if (size != 0 && reg.length() != 0)
        result = qint32(reg.GetBits(0, quint8(reg.length())));
    file.Close();
    return result;
}

qint32 FileCrc16Reference(const QString& fullName)
{
    return FileCrc16Reference(fullName, FileAccess::system());
}
