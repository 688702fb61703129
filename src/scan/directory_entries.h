#pragma once

#include "scan/search_rec.h"

#include <QString>
#include <vector>

class PseudoFileSystems;

// The entries of a directory, in the order the file system returns them,
// without "." and "..". Returns false, with no entries, when the directory
// cannot be listed (missing, not readable, path too long).
//
// Only what the walk can safely use is reported: real directories, to walk
// into, and regular files or links to regular files, to record. Links to
// directories are left out (a link to an ancestor would otherwise be walked
// forever), and so are FIFOs, sockets, devices and dangling links (opening a
// FIFO blocks; a dangling link can never be read). Names that are not valid
// UTF-8 cannot be stored in the database and are left out as well.
// Directories on one of the pseudo file systems are left out, and such a
// directory itself cannot be listed: the kernel's interfaces are not files to
// watch (see pseudo_file_systems.h).
//
// Each entry's fields are made as follows:
// - Name: the name as the file system gives it, decoded from UTF-8;
// - Size: the low 32 bits of the size in bytes (of the link's target for a
//   link), as a signed 32-bit integer;
// - Time: the last-write time, in local time, packed in the DOS format;
// - Attr: 16 for a directory; 32 (archive) for every file; plus 1 (read-only)
//   when the owner has no write permission, and 2 (hidden) when the name
//   begins with ".".
bool ListDirectory(const QString& dir, const PseudoFileSystems& pseudo, std::vector<TSearchRec>& entries);

// Joins a directory text and a name with a single "/", without normalising:
// "/" and "sub" give "//sub", as the stored texts have always been made.
inline QString JoinPath(const QString& dir, const QString& name)
{
    return dir + u'/' + name;
}
