#pragma once

#include "common/exception.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// Raised by TStr_Bit, and by TBitFile for a piece too long, with its one fixed text.
class EStrBitError : public Exception {
public:
    EStrBitError() : Exception(QStringLiteral("Bits index out of range")) {}
};

// Operation codes of TStr_Bit::Combine. Any other code combines as boXor.
inline constexpr quint8 boXor = 0;
inline constexpr quint8 boAnd = 1;
inline constexpr quint8 boOr = 2;

// Copies count bits from source bit sourceBit of source to the bits starting at
// destBit of dest (bit k is bit k % 8 of byte k / 8). Reads only the source
// bytes that hold the copied bits. Destination bits before destBit stay; bits
// after the last copied one, up to the end of its byte, may change. source and
// dest may be one buffer when the copy moves bits towards lower offsets.
void CopyBits(quint32 sourceBit, quint32 count, quint32 destBit, const quint8* source, quint8* dest);

// A growable string of bits: bit k is bit k % 8 of storage byte k / 8, and bit
// k % 32 of little-endian storage word k / 32. The storage is whole 32-bit
// words, ceil(FLen / 32) of them, and none for the empty string; bits at FLen
// and above have no defined value. Every check is made before anything
// changes, and a failed one raises EStrBitError, leaving the string as it was.
class TStr_Bit {
public:
    TStr_Bit() = default;
    virtual ~TStr_Bit();
    TStr_Bit(const TStr_Bit&) = delete;
    TStr_Bit& operator=(const TStr_Bit&) = delete;

    qint32 length() const { return FLen; }
    // The storage, null when the string is empty.
    const quint8* bits() const { return FBits.get(); }

    // Sets the length to n (n >= 0). Storage is replaced only when the number of
    // words changes; the kept words keep their bits, new bits are undefined.
    void SetLen(qint32 n);
    // The index of the first 0 bit, or FLen when there is none.
    qint32 FirstZero() const;
    // The string becomes count bits long, bit i being bit 0 of values[i] (count >= 0).
    void LoadBits(qint32 count, const quint8* values);
    // Character i gives bit i: the lowest bit of its code ("1" is 1, "0" is 0).
    void LoadStr(const QString& text);
    // Appends other's bits after the last bit.
    void AddBits(const TStr_Bit& other);
    // Removes bits start .. start+count-1 (count >= 1, 0 <= start <= FLen); a
    // range that reaches the end cuts the string at start.
    void DelBits(qint32 start, qint32 count);
    // This string becomes a copy of other.
    void AssignBits(const TStr_Bit& other);
    // Bits offset .. offset+count-1 as bits 0 .. count-1 of the result, higher
    // bits 0. Needs 1 <= count <= 32, offset >= 0; bits past FLen are undefined.
    quint32 GetBits(qint32 offset, quint8 count) const;
    // n bits (n >= 0); every storage byte holding them becomes value.
    void Fill(qint32 n, quint8 value);
    // n zero bits.
    void Clear(qint32 n);
    // Combines with other word by word by the coded operation (boXor, boAnd,
    // boOr); the result has the length of the shorter string.
    void Combine(const TStr_Bit& other, quint8 code);
    // Flips every bit.
    void Invert();

protected:
    [[noreturn]] static void BitsError();

    qint32 FLen = 0;
    std::unique_ptr<quint8[]> FBits;
};
