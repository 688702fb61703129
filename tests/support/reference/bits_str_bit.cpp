#include "support/reference/bits_str_bit.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

qint64 storageBytes(qint64 bits)
{
    return (bits + 31) / 32 * 4;
}

// The count (1 .. 8) bits from bit `bit` of source, in the low bits of a byte.
quint8 peekByte(const quint8* source, quint32 bit, quint32 count)
{
    const quint8* p = source + bit / 8;
    const quint32 shift = bit % 8;
    unsigned value = p[0] >> shift;
    if (shift + count > 8)
        value |= unsigned(p[1]) << (8 - shift);
    return quint8(value & ((1u << count) - 1));
}

quint32 loadWord(const quint8* p)
{
    return qFromLittleEndian<quint32>(p);
}

} // namespace

void CopyBits(quint32 sourceBit, quint32 count, quint32 destBit, const quint8* source, quint8* dest)
{
    if (count == 0)
        return;
    quint8* out = dest + destBit / 8;
    const quint32 d = destBit % 8;
    if (d != 0) {
        const quint32 room = 8 - d;
        const quint32 take = std::min(count, room);
        const unsigned keep = *out & ((1u << d) - 1);
        *out = quint8(keep | (unsigned(peekByte(source, sourceBit, take)) << d));
        if (count <= room)
            return;
        sourceBit += room;
        count -= room;
        ++out;
    }
    const quint8* in = source + sourceBit / 8;
    const quint32 shift = sourceBit % 8;
    const quint32 bytes = (count + 7) / 8;
    if (shift == 0) {
        // The source lies at or above the destination when both are one buffer.
        std::memmove(out, in, bytes);
        return;
    }
    // Each destination byte is read from in[i] and in[i + 1] before it is
    // written; in >= out, so a move down within one buffer reads no byte that
    // has already been overwritten.
    for (quint32 i = 0; i + 1 < bytes; ++i)
        out[i] = quint8((in[i] >> shift) | (unsigned(in[i + 1]) << (8 - shift)));
    const quint32 last = bytes - 1;
    const quint32 lastCount = count - last * 8;
    out[last] = peekByte(in + last, shift, lastCount);
}

TStr_Bit::~TStr_Bit()
{
    SetLen(0);
}

void TStr_Bit::BitsError()
{
    throw EStrBitError();
}

void TStr_Bit::SetLen(qint32 n)
{
    if (n == FLen)
        return;
    if (n < 0)
        BitsError();
    const qint64 oldSize = storageBytes(FLen);
    const qint64 newSize = storageBytes(n);
    if (oldSize != newSize) {
        // Not value-initialised: new bits are undefined until written.
        std::unique_ptr<quint8[]> storage;
        if (newSize != 0)
            storage = std::make_unique_for_overwrite<quint8[]>(size_t(newSize));
        if (FBits && storage)
            std::memcpy(storage.get(), FBits.get(), size_t(std::min(oldSize, newSize)));
        FBits = std::move(storage);
    }
    FLen = n;
}

qint32 TStr_Bit::FirstZero() const
{
    const qint64 words = storageBytes(FLen) / 4;
    for (qint64 w = 0; w < words; ++w) {
        const quint32 word = loadWord(FBits.get() + w * 4);
        if (word == 0xFFFFFFFFu)
            continue;
        const qint64 index = w * 32 + std::countr_one(word);
        return qint32(std::min<qint64>(index, FLen));
    }
    return FLen;
}

void TStr_Bit::LoadBits(qint32 count, const quint8* values)
{
    if (count != FLen) {
        if (count < 0)
            BitsError();
        SetLen(count);
    }
    const qint32 fullBytes = count / 8;
    quint8* out = FBits.get();
    for (qint32 j = 0; j < fullBytes; ++j) {
        const quint8* v = values + qint64(j) * 8;
        out[j] = quint8((v[0] & 1) | (v[1] & 1) << 1 | (v[2] & 1) << 2 | (v[3] & 1) << 3 | (v[4] & 1) << 4
                        | (v[5] & 1) << 5 | (v[6] & 1) << 6 | (v[7] & 1) << 7);
    }
    if (const qint32 rest = count % 8) {
        const quint8* v = values + qint64(fullBytes) * 8;
        unsigned byte = 0;
        for (qint32 i = 0; i < rest; ++i)
            byte |= unsigned(v[i] & 1) << i;
        out[fullBytes] = quint8(byte);
    }
}

void TStr_Bit::LoadStr(const QString& text)
{
    if (text.isEmpty()) {
        SetLen(0);
        return;
    }
    QByteArray values(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        values[i] = char(text.at(i).unicode() & 1);
    LoadBits(qint32(values.size()), reinterpret_cast<const quint8*>(values.constData()));
}

void TStr_Bit::AddBits(const TStr_Bit& other)
{
    if (other.FLen == 0)
        return;
    if (&other == this) {
        // The copy source would be the storage being written and resized.
        TStr_Bit copy;
        copy.AssignBits(*this);
        AddBits(copy);
        return;
    }
    if (qint64(FLen) + other.FLen > std::numeric_limits<qint32>::max())
        BitsError();
    const qint32 oldLen = FLen;
    SetLen(oldLen + other.FLen);
    CopyBits(0, quint32(other.FLen), quint32(oldLen), other.FBits.get(), FBits.get());
}

void TStr_Bit::DelBits(qint32 start, qint32 count)
{
    // A start past the end would lengthen the string; nothing asks for that.
    if (count < 1 || start < 0 || start > FLen)
        BitsError();
    if (qint64(start) + count >= FLen) {
        SetLen(start);
        return;
    }
    CopyBits(quint32(start + count), quint32(FLen - start - count), quint32(start), FBits.get(), FBits.get());
    SetLen(FLen - count);
}

void TStr_Bit::AssignBits(const TStr_Bit& other)
{
    SetLen(other.FLen);
    if (FLen != 0 && &other != this)
        CopyBits(0, quint32(other.FLen), 0, other.FBits.get(), FBits.get());
}

quint32 TStr_Bit::GetBits(qint32 offset, quint8 count) const
{
    if (count == 0 || count > 32 || offset < 0)
        BitsError();
    // Up to five bytes hold the bits; bytes past the storage read as 0 so that
    // an out-of-range request cannot read outside it.
    const qint64 size = storageBytes(FLen);
    const qint64 first = offset / 8;
    const qint64 last = (qint64(offset) + count - 1) / 8;
    quint64 gathered = 0;
    for (qint64 j = first; j <= last && j < size; ++j)
        gathered |= quint64(FBits[size_t(j)]) << ((j - first) * 8);
    gathered >>= offset % 8;
    return quint32(gathered & ((quint64(1) << count) - 1));
}

void TStr_Bit::Fill(qint32 n, quint8 value)
{
    SetLen(n);
    if (n >= 1)
        std::memset(FBits.get(), value, size_t((qint64(n) + 7) / 8));
}

void TStr_Bit::Clear(qint32 n)
{
    Fill(n, 0);
}

void TStr_Bit::Combine(const TStr_Bit& other, quint8 code)
{
    const qint32 m = std::min(FLen, other.FLen);
    const qint64 words = storageBytes(m) / 4;
    quint8* mine = FBits.get();
    const quint8* theirs = other.FBits.get();
    for (qint64 w = 0; w < words; ++w) {
        quint32 a;
        quint32 b;
        std::memcpy(&a, mine + w * 4, 4);
        std::memcpy(&b, theirs + w * 4, 4);
        switch (code) {
        case boAnd:
            a &= b;
            break;
        case boOr:
            a |= b;
            break;
        default:
            a ^= b;
            break;
        }
        std::memcpy(mine + w * 4, &a, 4);
    }
    SetLen(m);
}

void TStr_Bit::Invert()
{
    const qint64 bytes = (qint64(FLen) + 7) / 8;
    quint8* p = FBits.get();
    for (qint64 j = 0; j < bytes; ++j)
        p[j] = quint8(~p[j]);
}
