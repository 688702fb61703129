#include "check/file_digests.h"

#include "bits/file_access.h"
#include "common/file_name_codec.h"
#include "scan/directory_handle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <array>

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
    QCryptographicHash md5(QCryptographicHash::Md5);
    QCryptographicHash sha256(QCryptographicHash::Sha256);
    bool read = fstat(fd, &opened) == 0 && opened.st_ino == found.self.st_ino && opened.st_dev == found.self.st_dev;
    std::array<char, 1 << 16> buffer{};
    while (read) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            read = got == 0;
            break;
        }
        md5.addData(QByteArrayView(buffer.data(), got));
        sha256.addData(QByteArrayView(buffer.data(), got));
    }
    ::close(fd);
    if (!read)
        return std::nullopt;
    found.md5 = md5.result().toHex();
    found.sha256 = sha256.result().toHex();
    return found;
}
