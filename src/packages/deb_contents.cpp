#include "packages/deb_contents.h"

#include "bits/sha256_accumulator.h"
#include "common/exception.h"
#include "common/file_name_codec.h"

#include <QMap>
#include <QStringList>

#include <functional>

#include <apt-pkg/arfile.h>
#include <apt-pkg/error.h>
#include <apt-pkg/fileutl.h>

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unistd.h>

// libapt-pkg finds the member and decompresses it; its ExtractTar is not used
// because the items it hands over lack the owner and group names.

namespace {

constexpr unsigned long long Block = 512;

[[noreturn]] void Damaged(const QString& deb, const QString& what)
{
    QStringList apt;
    std::string message;
    while (_error->PopMessage(message))
        apt << QString::fromStdString(message);
    throw Exception(QStringLiteral("Пакет %1 повреждён: %2%3")
                        .arg(deb, what, apt.isEmpty() ? QString() : QStringLiteral(" (") + apt.join(u' ') + u')'));
}

QByteArray CString(const char* field, std::size_t size)
{
    return QByteArray(field, qsizetype(qstrnlen(field, uint(size))));
}

// Octal as tar writes it, or GNU's base-256 for what octal cannot hold.
bool Number(const char* field, std::size_t size, unsigned long long& value)
{
    value = 0;
    if (quint8(field[0]) & 0x80) {
        for (std::size_t i = 0; i < size; ++i)
            value = (value << 8) | quint8(i == 0 ? field[0] & 0x7f : field[i]);
        return true;
    }
    const QByteArray text = CString(field, size).trimmed();
    if (text.isEmpty())
        return true;
    bool ok = false;
    value = text.toULongLong(&ok, 8);
    return ok;
}

struct Md5Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The member's contents, read in blocks; digests only for regular files.
class Contents {
public:
    Contents(FileFd& tar, const QString& deb)
        : m_tar(tar)
        , m_deb(deb)
    {
    }

    QByteArray read(unsigned long long size)
    {
        QByteArray data;
        data.resize(qsizetype(padded(size)));
        if (!m_tar.Read(data.data(), data.size()))
            Damaged(m_deb, QStringLiteral("tar обрывается"));
        data.truncate(qsizetype(size));
        return data;
    }

    void digest(unsigned long long size, DebMember& member, bool withMd5)
    {
        Sha256Accumulator sha256;
        const std::unique_ptr<EVP_MD_CTX, Md5Free> md5(withMd5 ? EVP_MD_CTX_new() : nullptr);
        if (withMd5 && (!md5 || EVP_DigestInit_ex2(md5.get(), EVP_md5(), nullptr) != 1))
            throw Exception(QStringLiteral("Ошибка вычисления MD5"));
        std::array<quint8, 1 << 16> buffer;
        for (unsigned long long left = padded(size); left > 0;) {
            const unsigned long long chunk = std::min<unsigned long long>(left, buffer.size());
            if (!m_tar.Read(buffer.data(), chunk))
                Damaged(m_deb, QStringLiteral("tar обрывается на %1").arg(member.path));
            const unsigned long long used = std::min(chunk, size);
            sha256.add(buffer.data(), used);
            if (md5 && EVP_DigestUpdate(md5.get(), buffer.data(), used) != 1)
                throw Exception(QStringLiteral("Ошибка вычисления MD5"));
            size -= used;
            left -= chunk;
        }
        member.sha256 = DigestHex(sha256.result());
        if (!md5)
            return;
        std::array<quint8, 16> md5Digest;
        if (EVP_DigestFinal_ex(md5.get(), md5Digest.data(), nullptr) != 1)
            throw Exception(QStringLiteral("Ошибка вычисления MD5"));
        member.md5 = QByteArray(reinterpret_cast<const char*>(md5Digest.data()), 16).toHex();
    }

    void skip(unsigned long long size) { read(size); }

private:
    static unsigned long long padded(unsigned long long size) { return (size + Block - 1) / Block * Block; }

    FileFd& m_tar;
    const QString& m_deb;
};

// "./usr/bin/x" and "usr/bin/x" both as "/usr/bin/x".
QString DpkgPath(QByteArray name)
{
    if (name.startsWith("./"))
        name.remove(0, 1);
    else if (name == ".")
        name = "/";
    else if (!name.startsWith('/'))
        name.prepend('/');
    if (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    return DecodeFileName(name);
}

// The records of a POSIX extended header: "length key=value\n".
void ReadPax(const QByteArray& records, QMap<QByteArray, QByteArray>& into)
{
    qsizetype at = 0;
    while (at < records.size()) {
        const qsizetype space = records.indexOf(' ', at);
        const qsizetype length = space < 0 ? 0 : records.mid(at, space - at).toLongLong();
        if (length <= 0 || at + length > records.size())
            return;
        const QByteArray record = records.mid(space + 1, at + length - space - 2);
        const qsizetype equals = record.indexOf('=');
        if (equals > 0)
            into[record.left(equals)] = record.mid(equals + 1);
        at += length;
    }
}


// Reads deb's tarball named prefix ("data.tar", "control.tar") with any
// compression dpkg-deb writes, handing each entry to each with the reader
// positioned at its contents: each reads or skips exactly size bytes of a
// regular file, and nothing of anything else.
void ForEachTarEntry(const QString& deb, const char* prefix,
                     const std::function<bool(DebMember&, Contents&, unsigned long long size)>& each)
{
    FileFd file;
    if (!file.Open(deb.toStdString(), FileFd::ReadOnly))
        Damaged(deb, QStringLiteral("не открывается"));
    const ARArchive archive(file);
    if (_error->PendingError())
        Damaged(deb, QStringLiteral("это не архив ar"));

    static const std::array<std::pair<const char*, FileFd::CompressMode>, 6> kinds { {
        { ".xz", FileFd::Xz },
        { ".zst", FileFd::Zstd },
        { ".gz", FileFd::Gzip },
        { ".bz2", FileFd::Bzip2 },
        { ".lzma", FileFd::Lzma },
        { "", FileFd::None },
    } };
    const ARArchive::Member* data = nullptr;
    FileFd::CompressMode compression = FileFd::None;
    for (const auto& [suffix, mode] : kinds)
        if ((data = archive.FindMember((std::string(prefix) + suffix).c_str())) != nullptr) {
            compression = mode;
            break;
        }
    if (data == nullptr)
        Damaged(deb, QStringLiteral("в нём нет ") + QLatin1String(prefix));

    // The decompressor reads on from where the descriptor stands, so it is
    // given its own descriptor placed at the member.
    const int descriptor = dup(file.Fd());
    FileFd tar;
    if (descriptor < 0 || lseek(descriptor, off_t(data->Start), SEEK_SET) < 0
        || !tar.OpenDescriptor(descriptor, FileFd::ReadOnly, compression, true))
        Damaged(deb, QStringLiteral("не удалось начать чтение ") + QLatin1String(prefix));

    Contents contents(tar, deb);
    QMap<QByteArray, QByteArray> pax;
    QByteArray longName;
    QByteArray longLink;
    for (;;) {
        std::array<char, Block> header;
        if (!tar.Read(header.data(), Block))
            Damaged(deb, QStringLiteral("tar обрывается"));
        if (std::all_of(header.begin(), header.end(), [](char c) { return c == 0; }))
            break;

        unsigned long long checksum = 0;
        unsigned long long sum = 0;
        for (std::size_t i = 0; i < Block; ++i)
            sum += (i >= 148 && i < 156) ? quint8(' ') : quint8(header[i]);
        unsigned long long mode = 0;
        unsigned long long uid = 0;
        unsigned long long gid = 0;
        unsigned long long size = 0;
        if (!Number(&header[148], 8, checksum) || checksum != sum || !Number(&header[100], 8, mode)
            || !Number(&header[108], 8, uid) || !Number(&header[116], 8, gid) || !Number(&header[124], 12, size))
            Damaged(deb, QStringLiteral("испорчен заголовок tar"));

        const char type = header[156];
        if (type == 'L' || type == 'K') {
            (type == 'L' ? longName : longLink) = CString(contents.read(size).constData(), size);
            continue;
        }
        if (type == 'x') {
            ReadPax(contents.read(size), pax);
            continue;
        }
        if (type == 'g') {
            contents.skip(size);
            continue;
        }

        QByteArray name = CString(&header[0], 100);
        // POSIX ustar splits long names, GNU's "ustar  " does not.
        if (memcmp(&header[257], "ustar\0", 6) == 0 && header[345] != 0)
            name = CString(&header[345], 155) + '/' + name;
        QByteArray link = CString(&header[157], 100);
        QByteArray owner = CString(&header[265], 32);
        QByteArray group = CString(&header[297], 32);
        if (!longName.isEmpty())
            name = longName;
        if (!longLink.isEmpty())
            link = longLink;
        name = pax.value("path", name);
        link = pax.value("linkpath", link);
        owner = pax.value("uname", owner);
        group = pax.value("gname", group);
        if (pax.contains("uid"))
            uid = pax["uid"].toULongLong();
        if (pax.contains("gid"))
            gid = pax["gid"].toULongLong();
        if (pax.contains("size"))
            size = pax["size"].toULongLong();
        pax.clear();
        longName.clear();
        longLink.clear();

        DebMember member;
        member.path = DpkgPath(name);
        member.mode = quint32(mode & 07777);
        member.owner = QString::fromUtf8(owner);
        member.group = QString::fromUtf8(group);
        member.uid = quint32(uid);
        member.gid = quint32(gid);
        switch (type) {
        case '0':
        case '\0':
        case '7':
            member.type = DebMember::Type::File;
            member.size = size;
            if (!each(member, contents, size))
                return;
            break;
        case '1':
            member.type = DebMember::Type::HardLink;
            member.target = DpkgPath(link);
            if (!each(member, contents, 0))
                return;
            break;
        case '2':
            member.type = DebMember::Type::Symlink;
            member.target = DecodeFileName(link);
            member.size = quint64(link.size());
            if (!each(member, contents, 0))
                return;
            break;
        case '5':
            member.type = DebMember::Type::Directory;
            if (!each(member, contents, 0))
                return;
            break;
        default:
            member.type = DebMember::Type::Other;
            contents.skip(size);
            if (!each(member, contents, 0))
                return;
            break;
        }
    }
}

} // namespace

std::vector<DebMember> DebContents(const QString& deb, bool withMd5, const std::function<bool(const DebMember&)>& enough)
{
    std::vector<DebMember> members;
    ForEachTarEntry(deb, "data.tar", [&](DebMember& member, Contents& contents, unsigned long long size) {
        if (member.type == DebMember::Type::File)
            contents.digest(size, member, withMd5);
        members.push_back(std::move(member));
        return !enough || !enough(members.back());
    });
    return members;
}

QHash<QString, QByteArray> DebControlFiles(const QString& deb)
{
    QHash<QString, QByteArray> files;
    ForEachTarEntry(deb, "control.tar", [&](DebMember& member, Contents& contents, unsigned long long size) {
        if (member.type == DebMember::Type::File)
            files.insert(member.path.mid(1), contents.read(size));
        return true;
    });
    return files;
}
