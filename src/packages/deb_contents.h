#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

// One entry of a .deb's data tarball, as dpkg would unpack it.
struct DebMember {
    enum class Type { File, Directory, Symlink, HardLink, Other };

    // As dpkg lists it: "/usr/bin/tool", "/" for the top; bytes that are not
    // UTF-8 kept as DecodeFileName keeps them.
    QString path;
    Type type = Type::Other;
    // The permission bits, with set-user-id, set-group-id and sticky.
    quint32 mode = 0;
    // The names dpkg prefers where the system knows them; empty if the
    // tarball gives none.
    QString owner;
    QString group;
    quint32 uid = 0;
    quint32 gid = 0;
    // Of a symlink (as written) or a hard link (the path it shares, as path is).
    QString target;
    quint64 size = 0;
    // Lower-case hex of the contents; regular files only.
    QByteArray sha256;
    QByteArray md5; // unless left out
};

// The members of the .deb's data.tar (.xz, .zst, .gz, .bz2, .lzma or
// uncompressed), read without unpacking anything to disk. Throws if the .deb
// or its tarball is damaged.
// withMd5 false leaves the MD5 out, which costs more than the SHA-256. Where
// enough says so of a member, the members up to it are all that is read.
std::vector<DebMember> DebContents(const QString& deb, bool withMd5 = true,
                                   const std::function<bool(const DebMember&)>& enough = {});

// The regular files of the .deb's control.tar by name ("md5sums",
// "conffiles", "postinst"...), each file's contents whole. Throws as
// DebContents does.
QHash<QString, QByteArray> DebControlFiles(const QString& deb);
