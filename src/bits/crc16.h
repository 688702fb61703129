#pragma once

#include <QtGlobal>

#include <cstddef>

// CRC-16 over x^16 + x^12 + x^5 + 1 with each byte's bits taken least
// significant first, no initial value and no final xor (the parameters known
// as KERMIT). crc is the value for the bytes before data, 0 for none; the
// result is the value with data appended. In polynomial terms, with M the
// bytes' bit sequence (bit 0 of the first byte the highest power), the value
// is M * x^16 mod P, its bit i the coefficient of x^(15 - i).
//
// Crc16Update picks the fastest implementation the processor supports; the
// others are exposed so that tests can hold them against each other.
quint16 Crc16Update(quint16 crc, const quint8* data, std::size_t size);
quint16 Crc16UpdatePortable(quint16 crc, const quint8* data, std::size_t size);

// Whether Crc16UpdateClmul may be called: an x86 processor with carry-less
// multiplication (PCLMULQDQ) and SSE4.1.
bool Crc16HasClmul();
quint16 Crc16UpdateClmul(quint16 crc, const quint8* data, std::size_t size);
