#pragma once

#include "scan/fingerprint.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What an inode holds beyond its mode: extended attributes and inode flags.

// The extended attributes of the open file fd; none known where the file
// system keeps none or the list may not be read. One system call for a name
// without any.
SharedAttributes ReadExtendedAttributes(int fd);
// The same of the name opened as pathFd with O_PATH and O_NOFOLLOW (a link's
// own, not its target's), which cannot be asked directly: through its name in
// /proc, which leads to the very inode opened. None known without /proc.
SharedAttributes ReadExtendedAttributesOfOpenPath(int pathFd);

// The inode flags of the open file or directory fd that say what may be done
// to it, those chattr(1) sets (immutable, append-only, no-dump and the rest);
// none known where the file system keeps none. Flags the file system sets by
// itself as a file or directory grows (extents, an indexed directory, inline
// data) are left out, or a growing directory would read as changed.
std::optional<quint32> ReadInodeFlags(int fd);

// The flags as lsattr(1) shows them, one letter or "-" for each: "----i-----".
QString InodeFlagsText(quint32 flags);
