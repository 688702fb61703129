#pragma once

#include "bits/sha256_accumulator.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// What a file row records besides the checksums and the attribute text, so
// that a check cannot be fooled by forged checksums, by permissions or owners
// that the attribute text does not show, or by a name turned into a link or a
// device. It describes the name itself, as lstat(2) sees it; only the digest
// describes what reading the name gives.
struct Fingerprint {
    quint32 mode = 0;  // the file type and all twelve permission bits
    quint32 owner = 0; // user id
    quint32 group = 0; // group id
    // Of the contents: only a regular file, or a link to one, is read.
    std::optional<Sha256Digest> sha256;
    // The link's own text; empty when the name is no symbolic link.
    QString linkTarget;
};

// The file type of a mode in words: "file", "link", "directory", "fifo",
// "socket", "block device", "character device" or "unknown".
QString FileTypeName(quint32 mode);

// The permission bits of a mode in octal, four digits: "0644", "4755".
QString PermissionText(quint32 mode);
