#include "check/file_digests.h"

#include "bits/file_access.h"
#include "common/file_name_codec.h"
#include "scan/directory_handle.h"

#include "bits/sha256_accumulator.h"

#include <openssl/evp.h>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <memory>

std::optional<LookedAt> LookAgain(const QString& root, const QString& path)
{
    const QFileInfo name(path);
    DirectoryHandle dir;
    struct stat parent {};
    if (DirectoryHandle::openBeneath(root, QDir::cleanPath(name.path()), dir, parent) != 0)
        return std::nullopt;
    const QByteArray encoded = EncodeFileName(name.fileName());
    LookedAt found;
    if (fstatat(dir.fd(), encoded.constData(), &found.self, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (S_ISLNK(found.self.st_mode)) {
        std::array<char, 4096> text{};
        const ssize_t size = readlinkat(dir.fd(), encoded.constData(), text.data(), text.size());
        if (size < 0)
            return std::nullopt;
        found.linkTarget = DecodeFileName(QByteArrayView(text.data(), size));
        return found;
    }
    if (!S_ISREG(found.self.st_mode))
        return found;
    const int fd = OpenForReadingAt(dir.fd(), encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat opened {};
    // OpenSSL's digests, at the processor's speed.
    Sha256Accumulator sha256;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md5(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    bool read = md5 && EVP_DigestInit_ex2(md5.get(), EVP_md5(), nullptr) == 1;
    read = read && fstat(fd, &opened) == 0 && opened.st_ino == found.self.st_ino && opened.st_dev == found.self.st_dev;
    std::array<char, 1 << 16> buffer{};
    while (read) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            read = got == 0;
            break;
        }
        sha256.add(reinterpret_cast<const quint8*>(buffer.data()), std::size_t(got));
        read = EVP_DigestUpdate(md5.get(), buffer.data(), std::size_t(got)) == 1;
    }
    ::close(fd);
    if (!read)
        return std::nullopt;
    std::array<unsigned char, 16> md5Digest{};
    if (EVP_DigestFinal_ex(md5.get(), md5Digest.data(), nullptr) != 1)
        return std::nullopt;
    found.md5 = QByteArray(reinterpret_cast<const char*>(md5Digest.data()), 16).toHex();
    found.sha256 = DigestHex(sha256.result());
    return found;
}
