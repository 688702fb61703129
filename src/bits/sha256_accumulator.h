#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstddef>

// A SHA-256 digest: 32 bytes.
using Sha256Digest = std::array<quint8, 32>;

// The digest as sha256sum prints it: 64 lower-case hexadecimal digits.
QByteArray DigestHex(const Sha256Digest& digest);

struct evp_md_ctx_st;

// SHA-256 of a byte stream fed in pieces of any size, by OpenSSL's libcrypto
// (which takes the processor's SHA instructions where it has them). One at a
// time on each thread: they share the thread's context.
class Sha256Accumulator {
public:
    Sha256Accumulator();
    ~Sha256Accumulator() = default;
    Sha256Accumulator(const Sha256Accumulator&) = delete;
    Sha256Accumulator& operator=(const Sha256Accumulator&) = delete;

    void add(const quint8* data, std::size_t size);
    // The digest of everything added; call once.
    Sha256Digest result();

private:
    evp_md_ctx_st* m_context;
};
