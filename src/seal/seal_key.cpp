#include "seal/seal_key.h"

#include "common/exception.h"
#include "common/file_name_codec.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

QByteArray readWhole(const QString& file)
{
    const QByteArray name = EncodeFileName(file);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception(QStringLiteral("Не удалось открыть файл ключа: ") + file + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(errno)));
    QByteArray bytes;
    char block[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, block, sizeof block)) > 0 && bytes.size() < (1 << 20))
        bytes.append(block, qsizetype(got));
    ::close(fd);
    return bytes;
}

// Writes bytes to a new file of that mode; refuses a file that exists.
void writeNew(const QString& file, const QByteArray& bytes, mode_t mode)
{
    const QByteArray name = EncodeFileName(file);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw Exception(QStringLiteral("Не удалось создать файл ключа: ") + file + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(errno)));
    bool written = ::fchmod(fd, mode) == 0;
    for (qsizetype at = 0; written && at < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + at, std::size_t(bytes.size() - at));
        written = put > 0;
        at += put > 0 ? put : 0;
    }
    written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written) {
        const int error = errno;
        ::unlink(name.constData());
        throw Exception(QStringLiteral("Не удалось записать файл ключа: ") + file + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(error)));
    }
}

QByteArray bioBytes(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, qsizetype(size));
}

} // namespace

void SealKey::Free::operator()(evp_pkey_st* key) const
{
    EVP_PKEY_free(key);
}

SealKey SealKey::generate()
{
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!key)
        throw Exception(QStringLiteral("Не удалось создать ключ Ed25519"));
    SealKey made;
    made.m_key.reset(key, Free{});
    return made;
}

SealKey SealKey::fromPem(const QString& file, const std::function<evp_pkey_st*(BIO*)>& read, const QString& refusal)
{
    const QByteArray pem = readWhole(file);
    const Bio bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    EVP_PKEY* key = bio ? read(bio.get()) : nullptr;
    if (!key || EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        throw Exception(refusal + file);
    }
    SealKey made;
    made.m_key.reset(key, Free{});
    return made;
}

SealKey SealKey::readPrivate(const QString& file, const QByteArray& passphrase)
{
    QByteArray phrase = passphrase;
    return fromPem(
        file, [&](BIO* bio) { return PEM_read_bio_PrivateKey(bio, nullptr, nullptr, phrase.data()); },
        QStringLiteral("Неверный пароль или это не закрытый ключ Ed25519: "));
}

SealKey SealKey::readPublic(const QString& file)
{
    return fromPem(
        file, [](BIO* bio) { return PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr); },
        QStringLiteral("Это не открытый ключ Ed25519: "));
}

void SealKey::writePrivate(const QString& file, const QByteArray& passphrase) const
{
    const Bio bio(BIO_new(BIO_s_mem()));
    QByteArray phrase = passphrase;
    if (!bio
        || !PEM_write_bio_PKCS8PrivateKey(bio.get(), m_key.get(), EVP_aes_256_cbc(), phrase.data(), int(phrase.size()),
                                          nullptr, nullptr))
        throw Exception(QStringLiteral("Не удалось зашифровать закрытый ключ"));
    writeNew(file, bioBytes(bio.get()), 0600);
}

void SealKey::writePublic(const QString& file) const
{
    const Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || !PEM_write_bio_PUBKEY(bio.get(), m_key.get()))
        throw Exception(QStringLiteral("Не удалось записать открытый ключ"));
    writeNew(file, bioBytes(bio.get()), 0644);
}

QByteArray SealKey::sign(const QByteArray& message) const
{
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    QByteArray signature(64, Qt::Uninitialized);
    std::size_t size = std::size_t(signature.size());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                          reinterpret_cast<const unsigned char*>(message.constData()), std::size_t(message.size()))
            != 1)
        throw Exception(QStringLiteral("Не удалось подписать базу данных закрытым ключом"));
    signature.truncate(qsizetype(size));
    return signature;
}

bool SealKey::verify(const QByteArray& message, const QByteArray& signature) const
{
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    return context && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) == 1
        && EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            std::size_t(signature.size()), reinterpret_cast<const unsigned char*>(message.constData()),
                            std::size_t(message.size()))
        == 1;
}

QString SealKey::fingerprint() const
{
    unsigned char raw[64];
    std::size_t size = sizeof raw;
    if (EVP_PKEY_get_raw_public_key(m_key.get(), raw, &size) != 1)
        throw Exception(QStringLiteral("Не удалось прочитать открытый ключ"));
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(raw, size, digest);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex());
}
