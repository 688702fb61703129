#include "seal/seal_key.h"

#include "common/exception.h"
#include "common/file_name_codec.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
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

// PBKDF2 rounds that turn a passphrase into the private key's cipher key:
// OpenSSL's default of 2,048 leaves a stolen key's passphrase to guessing.
constexpr int kPassphraseRounds = 600000;

QString octalMode(mode_t mode)
{
    return QStringLiteral("%1").arg(uint(mode & 07777), 4, 8, QLatin1Char('0'));
}

// The PEM text of a key file, opened so that nothing there can hold it up (a
// FIFO nobody writes, a device) or lead it elsewhere (a link), and read only
// when it is a regular file that nobody but its owner, root or the user, may
// rewrite, nor, when isPrivate, read.
QByteArray readKeyFile(const QString& file, bool isPrivate)
{
    const QByteArray name = EncodeFileName(file);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat info{};
    if (fd < 0) {
        const int error = errno;
        // A link, or a socket, which cannot be opened at all, is named for what it is.
        const bool seen = ::lstat(name.constData(), &info) == 0;
        if (seen && S_ISLNK(info.st_mode))
            throw Exception(QStringLiteral("Файл ключа является символической ссылкой: ") + file);
        if (seen && !S_ISREG(info.st_mode))
            throw Exception(QStringLiteral("Файл ключа не является обычным файлом: ") + file);
        throw Exception(QStringLiteral("Не удалось открыть файл ключа: ") + file + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(error)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0)
        throw Exception(QStringLiteral("Не удалось открыть файл ключа: ") + file + QStringLiteral(": ")
                        + QString::fromLocal8Bit(strerror(errno)));
    if (!S_ISREG(info.st_mode))
        throw Exception(QStringLiteral("Файл ключа не является обычным файлом: ") + file);
    if (info.st_uid != 0 && info.st_uid != ::geteuid())
        throw Exception(QStringLiteral("Файл ключа принадлежит другому пользователю (uid %1): ").arg(info.st_uid)
                        + file);
    // Root reads and writes whatever the bits say, so they are judged by
    // themselves, never by whether access is possible.
    if (isPrivate && (info.st_mode & 077))
        throw Exception(QStringLiteral("Закрытый ключ доступен не только владельцу (права %1, нужны 0600): ")
                            .arg(octalMode(info.st_mode))
                        + file);
    if (!isPrivate && (info.st_mode & 022))
        throw Exception(QStringLiteral("Открытый ключ могут изменить группа или другие (права %1): ")
                            .arg(octalMode(info.st_mode))
                        + file);
    QByteArray bytes;
    char block[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, block, sizeof block)) > 0 && bytes.size() < (1 << 20))
        bytes.append(block, qsizetype(got));
    return bytes;
}

// Gives OpenSSL the passphrase in u, a QByteArray; never lets it ask one
// itself on the terminal.
int givenPassphrase(char* buffer, int size, int, void* u)
{
    const auto* passphrase = static_cast<const QByteArray*>(u);
    if (!passphrase || passphrase->size() > size)
        return -1;
    std::memcpy(buffer, passphrase->constData(), std::size_t(passphrase->size()));
    return int(passphrase->size());
}

// Whether any PEM block of pem holds a private key, encrypted or not.
bool holdsPrivateKey(const QByteArray& pem)
{
    const Bio bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    bool found = false;
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long size = 0;
    while (bio && !found && PEM_read_bio(bio.get(), &name, &header, &data, &size) == 1) {
        found = std::strstr(name, "PRIVATE KEY") != nullptr;
        OPENSSL_free(name);
        OPENSSL_free(header);
        OPENSSL_free(data);
    }
    ERR_clear_error(); // the end of the text reads as a failure
    return found;
}

// Writes bytes to a new file of that mode; refuses a file that exists.
void writeNew(const QString& file, const QByteArray& bytes, mode_t mode)
{
    const QByteArray name = EncodeFileName(file);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
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

SealKey SealKey::fromPem(const QString& file, const QByteArray& pem, const std::function<evp_pkey_st*(BIO*)>& read,
                         const QString& refusal)
{
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

SealKey SealKey::readPrivate(const QString& file, const std::function<QByteArray()>& passphrase)
{
    const QByteArray pem = readKeyFile(file, true);
    const QByteArray phrase = passphrase();
    return fromPem(
        file, pem,
        [&](BIO* bio) {
            return PEM_read_bio_PrivateKey(bio, nullptr, givenPassphrase, const_cast<QByteArray*>(&phrase));
        },
        QStringLiteral("Неверный пароль или это не закрытый ключ Ed25519: "));
}

SealKey SealKey::readPublic(const QString& file)
{
    const QByteArray pem = readKeyFile(file, false);
    if (holdsPrivateKey(pem))
        throw Exception(QStringLiteral("Это закрытый ключ, а нужен открытый: ") + file);
    return fromPem(
        file, pem, [](BIO* bio) { return PEM_read_bio_PUBKEY(bio, nullptr, givenPassphrase, nullptr); },
        QStringLiteral("Это не открытый ключ Ed25519: "));
}

void SealKey::writePrivate(const QString& file, const QByteArray& passphrase) const
{
    const std::unique_ptr<PKCS8_PRIV_KEY_INFO, decltype(&PKCS8_PRIV_KEY_INFO_free)> plain(
        EVP_PKEY2PKCS8(m_key.get()), PKCS8_PRIV_KEY_INFO_free);
    X509_ALGOR* scheme = PKCS5_pbe2_set_iv_ex(EVP_aes_256_cbc(), kPassphraseRounds, nullptr, 16, nullptr,
                                              NID_hmacWithSHA256, nullptr);
    X509_SIG* encrypted = plain && scheme
        ? PKCS8_set0_pbe(passphrase.constData(), int(passphrase.size()), plain.get(), scheme)
        : nullptr;
    if (!encrypted)
        X509_ALGOR_free(scheme); // kept by encrypted once made
    const std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)> owned(encrypted, X509_SIG_free);
    const Bio bio(BIO_new(BIO_s_mem()));
    if (!owned || !bio || !PEM_write_bio_PKCS8(bio.get(), owned.get()))
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
