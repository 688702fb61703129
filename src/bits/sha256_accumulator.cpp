#include "bits/sha256_accumulator.h"

#include "common/exception.h"

#include <openssl/evp.h>

#include <memory>

namespace {

[[noreturn]] void failed()
{
    throw Exception(QStringLiteral("Ошибка вычисления SHA-256"));
}

// Fetched once: looking the algorithm up again for every file costs more than
// hashing a small one.
const EVP_MD* sha256()
{
    static EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return md;
}

struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

QByteArray DigestHex(const Sha256Digest& digest)
{
    return QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size())).toHex();
}

Sha256Accumulator::Sha256Accumulator()
{
    // One context per thread, made again for each digest: most files are
    // small, and allocating a context costs as much as hashing one.
    thread_local const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!context || !sha256() || EVP_DigestInit_ex2(context.get(), sha256(), nullptr) != 1)
        failed();
    m_context = context.get();
}

void Sha256Accumulator::add(const quint8* data, std::size_t size)
{
    if (EVP_DigestUpdate(m_context, data, size) != 1)
        failed();
}

Sha256Digest Sha256Accumulator::result()
{
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context, digest.data(), &length) != 1 || length != digest.size())
        failed();
    return digest;
}
