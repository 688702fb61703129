#pragma once

#include "bits/sha256_accumulator.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <map>
#include <memory>
#include <optional>

// Extended attributes by name; a value the program may not read is empty.
using ExtendedAttributes = std::map<QByteArray, std::optional<QByteArray>>;

// Extended attributes as a fingerprint holds them: null where they are not
// known. Most names have none, and all those share one empty set, so that
// nothing is allocated or counted for them.
using SharedAttributes = std::shared_ptr<const ExtendedAttributes>;
SharedAttributes ShareAttributes(ExtendedAttributes xattrs);

// What a file row records besides the checksums and the attribute text, so
// that a check cannot be fooled by forged checksums, by permissions or owners
// that the attribute text does not show, by a name turned into a link or a
// device, or by what lies beyond the mode bits: capabilities, ACLs and other
// extended attributes, and inode flags. It describes the name itself, as
// lstat(2) sees it; only the digest describes what reading the name gives.
//
// An optional field left empty, or null attributes, are not known (a row
// written before they were kept, a file system that keeps no such thing, or
// one the program may not read) and are compared with nothing.
struct Fingerprint {
    quint32 mode = 0;  // the file type and all twelve permission bits
    quint32 owner = 0; // user id
    quint32 group = 0; // group id
    // Of the contents: only a regular file is read, never through a link.
    std::optional<Sha256Digest> sha256;
    // The link's own text; empty when the name is no symbolic link.
    QString linkTarget;
    // Every extended attribute's name and value (a value the program may not
    // read equals any other).
    SharedAttributes xattrs;
    // The inode flags that say what may be done to a regular file or a
    // directory (see ReadInodeFlags).
    std::optional<quint32> flags;
    // st_rdev of a block or character device.
    std::optional<quint64> device;
    // How many names a regular file has (st_nlink): a hard link made
    // elsewhere keeps an old binary alive after the package replaced it.
    std::optional<quint32> links;
};

// The file type of a mode in words: "file", "link", "directory", "fifo",
// "socket", "block device", "character device" or "unknown".
QString FileTypeName(quint32 mode);

// The permission bits of a mode in octal, four digits: "0644", "4755".
QString PermissionText(quint32 mode);
