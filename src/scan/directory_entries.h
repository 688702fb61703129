#pragma once

#include "bits/file_checksums.h"
#include "scan/directory_handle.h"
#include "scan/fingerprint.h"
#include "scan/not_examined.h"
#include "scan/search_rec.h"

#include <QString>
#include <vector>

class PseudoFileSystems;

// One entry of a directory: what its file row holds, what the fingerprint
// holds of the name itself, and what the walk is to do with it.
struct DirectoryEntry {
    TSearchRec rec;
    Fingerprint print;          // without the digest, which reading gives
    bool walkInto = false;      // a real directory: walked, never recorded
    bool readContents = false;  // a regular file
};

// Every name is examined through the directory that listed it (see
// DirectoryHandle) and as itself: a symbolic link is recorded as a link, by
// its own mode, owner, group and target text, and never followed, opened or
// read through, wherever it leads; only a regular file is read, and a FIFO,
// socket or device is never opened for reading. A name that is not UTF-8 is
// held as file_name_codec.h says, and so opened and stored byte for byte.
//
// Each entry's row fields are made as follows:
// - Name: the name as the file system gives it, decoded from UTF-8 (see
//   DecodeFileName);
// - Size: the size in bytes of a regular file; of a link the length of its
//   target text; 0 for any other name;
// - Time: the name's own last-write time, in local time, packed in the DOS
//   format;
// - Attr: 16 for a directory; 32 (archive) for every other name; plus 1
//   (read-only) when the owner has no write permission, and 2 (hidden) when
//   the name begins with ".".

// The names in the directory dir, whose path is path, in the order the file
// system returns them, without "." and "..": each with its name, and whether
// it is a directory to walk into or a regular file to read; any other name is
// described by ExamineEntry. Directories on one of the pseudo file systems are
// left out (see pseudo_file_systems.h). Returns false when the directory
// cannot be listed; where notExamined is given, what could not be examined is
// added to it: the directory itself, or a name in it that cannot be looked
// at. A name gone by the time it is looked at is simply not there.
bool ListDirectory(const DirectoryHandle& dir, const QString& path, const PseudoFileSystems& pseudo,
                   std::vector<DirectoryEntry>& entries, NotExaminedList* notExamined = nullptr);

// Describes the name in dir as it is now, without reading it: every field but
// the digest (and, of a regular file, the extended attributes and flags,
// which reading takes from the descriptor it reads). Returns 0 with the
// entry, or the errno of why the name cannot be looked at (ENOENT: it is gone).
int ExamineEntry(const DirectoryHandle& dir, const QString& name, DirectoryEntry& entry);

// Reads the regular file named entry.rec.Name in dir: both checksums, and the
// entry described afresh from the very file read, digest, extended attributes
// and flags included. Returns 0, or the errno of why it could not be opened
// or read; a name that is no longer a regular file is not opened for reading
// (ELOOP for a link, EINVAL for anything else) and is for ExamineEntry to
// describe.
int ReadEntryContents(const DirectoryHandle& dir, DirectoryEntry& entry, FileSums& sums);

// The fingerprint of the open directory dir, of which fstat gave self: mode,
// owner, group, extended attributes and inode flags.
Fingerprint DirectoryFingerprint(const DirectoryHandle& dir, const struct stat& self);

// Describes what stands at path, which is not a directory, as ExamineEntry
// would in its directory (the names before its last are followed): for the
// root of a walk that is no directory now. Returns 0 or errno.
int ExaminePath(const QString& path, DirectoryEntry& entry);

// Whether the path of dir, or of the name in it, is longer than a path may be
// (PATH_MAX bytes with its end): such a name is not examined, as the system
// would not open it by its path, nor could its row hold it.
bool PathTooLong(const QString& dir, const QString& name = QString());

// Why a name could not be examined, in words, for errno.
QString NotExaminedReason(int error);

// Joins a directory text and a name with a single "/", without normalising:
// "/" and "sub" give "//sub", as the stored texts have always been made.
inline QString JoinPath(const QString& dir, const QString& name)
{
    return dir + u'/' + name;
}

// The directory of a full name, and its last name: "/a/b" gives "/a" and
// "b", "/a" gives "/" and "a".
inline QString ParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
inline QString NameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// What stands at path, a name in the tree root, examined as a walk of root
// examines it: through its directory opened from root one name at a time,
// never through a link, and read when it is a regular file. Returns 0 with
// the entry (walkInto for a directory, which is neither read nor listed) and,
// of a regular file, its checksums; ENOENT when nothing stands there to
// record (gone, or its directory gone or no directory now); else the errno of
// why it could not be examined or read.
int ExamineNameIn(const QString& root, const QString& path, DirectoryEntry& entry, FileSums& sums);
