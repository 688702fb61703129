#include "bits/sha256_accumulator.h"

#include "common/exception.h"

#include <openssl/evp.h>

struct Sha256Accumulator::Context {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> digest{EVP_MD_CTX_new()};
};

namespace {

// Fetched once: looking the algorithm up again for every file costs more than
// hashing a small one.
const EVP_MD* sha256()
{
    static EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return md;
}

[[noreturn]] void failed()
{
    throw Exception(QStringLiteral("Ошибка вычисления SHA-256"));
}

} // namespace

QByteArray DigestHex(const Sha256Digest& digest)
{
    return QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size())).toHex();
}

Sha256Accumulator::Sha256Accumulator() : m_context(std::make_unique<Context>())
{
    if (!m_context->digest || !sha256() || EVP_DigestInit_ex2(m_context->digest.get(), sha256(), nullptr) != 1)
        failed();
}

Sha256Accumulator::~Sha256Accumulator() = default;

void Sha256Accumulator::add(const quint8* data, std::size_t size)
{
    if (EVP_DigestUpdate(m_context->digest.get(), data, size) != 1)
        failed();
}

Sha256Digest Sha256Accumulator::result()
{
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context->digest.get(), digest.data(), &length) != 1 || length != digest.size())
        failed();
    return digest;
}
