#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

// FileCrc16 of a byte stream fed in pieces of any size. The value is the one
// the step-by-step division leaves in its register (FileCrc16Reference, the
// tests' yardstick in tests/support/reference/bits_reference_checksums.h):
// normally the remainder R of the stream's bits modulo x^16 + x^12 + x^5 + 1,
// read from its highest non-zero term down; but when the division found a
// remainder of zero fewer than 17 bits before the end, it restarted its
// register there and the value is the bits after that point, as read.
//
// Why only the end matters: a zero remainder at bit p lasts exactly as long as
// zero bits follow, and after the run the next zero is at least 17 bits on.
// The division restarts at the start of each such run and at every 17th bit
// within it, so the last restart lies in the last run, whose start is the last
// 1 bit before the run's end (or the stream's start). Everything is therefore
// known from the plain remainder, the last two bytes and the last few non-zero
// bytes, whatever the stream's length.
class Crc16Accumulator {
public:
    void add(const quint8* data, std::size_t size);
    qint32 result() const;

private:
    struct NonzeroByte {
        quint64 index;
        quint8 value;
    };
    // Enough to find the last 1 bit before any of the last 16 bit positions:
    // at most two bytes lie after such a position.
    static constexpr int kNonzeroKept = 3;

    quint16 m_crc = 0;
    quint64 m_bytes = 0;
    std::array<quint8, 2> m_tail{}; // the last two bytes, the last one in [1]
    std::array<NonzeroByte, kNonzeroKept> m_nonzero{}; // the latest first
    int m_nonzeroCount = 0;
};
