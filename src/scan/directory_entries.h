#pragma once

#include "bits/file_checksums.h"
#include "scan/fingerprint.h"
#include "scan/not_examined.h"
#include "scan/search_rec.h"

#include <QString>
#include <optional>
#include <vector>

class PseudoFileSystems;

// One entry of a directory: what its file row holds, what the fingerprint
// holds of the name itself (lstat), and what the walk is to do with it.
struct DirectoryEntry {
    TSearchRec rec;
    Fingerprint print;          // without the digest, which reading gives
    bool walkInto = false;      // a real directory: walked, never recorded
    bool readContents = false;  // a regular file or a link to one
};

// What a listing found of the directory itself.
struct ListedDirectory {
    bool there = false;               // it exists, whether or not it could be listed
    std::optional<Fingerprint> print; // where it could be opened
};

// The entries of a directory, in the order the file system returns them,
// without "." and "..". Returns false, with no entries, when the directory
// cannot be listed (missing, not readable, path too long). Where notExamined
// is given, what could not be examined is added to it: the directory itself
// when it exists but cannot be listed, and each name in it that cannot be
// looked at. A name that is gone by the time it is looked at
// is simply not there.
//
// Every kind of name is reported, so that nothing planted in a watched tree
// goes unseen: real directories, to walk into; regular files; and symbolic
// links, FIFOs, sockets and devices, to be recorded as they are. Only regular
// files and links to regular files are ever opened (opening a FIFO blocks, a
// device is no file to watch); links to directories are not walked (a link to
// an ancestor would be walked forever). A name that is not UTF-8 is held as
// file_name_codec.h says, and so opened and stored byte for byte.
// Directories on one of the
// pseudo file systems are left out, and such a directory itself cannot be
// listed: the kernel's interfaces are not files to watch (see
// pseudo_file_systems.h).
//
// Each entry's row fields are made as follows:
// - Name: the name as the file system gives it, decoded from UTF-8 (see
//   DecodeFileName);
// - Size: the size in bytes (of the link's target for a link to a regular
//   file); 0 for a name that is not read;
// - Time: the last-write time, in local time, packed in the DOS format (of
//   the link's target, where there is one);
// - Attr: 16 for a directory; 32 (archive) for every other name; plus 1
//   (read-only) when the owner has no write permission, and 2 (hidden) when
//   the name begins with ".".
//
// Where listed is given, it says whether the directory is there (it may be
// there and not be listed) and, where it could be opened, gives its own
// fingerprint: mode, owner, group, extended attributes and inode flags. Of
// every other name the fingerprint holds the extended attributes too, except
// a regular file's, which are read with its contents (see FileWalker), and
// a device's number.
bool ListDirectory(const QString& dir, const PseudoFileSystems& pseudo, std::vector<DirectoryEntry>& entries,
                   NotExaminedList* notExamined = nullptr, ListedDirectory* listed = nullptr);

// Looks again at one name of dir, as ListDirectory would list it now: for a
// file that changed while the walk went on. Returns 0 with the entry, or the
// errno of why the name cannot be looked at (ENOENT: it is gone).
int ExamineEntry(const QString& dir, const QString& name, DirectoryEntry& entry);

// Reads the contents of entry, a regular file or a link to one in dir: both
// checksums, and into its fingerprint the digest and, of a regular file, the
// extended attributes and flags from the descriptor that reads it. Raises
// EFileBitError when it cannot be read.
FileSums ReadEntryContents(const QString& dir, DirectoryEntry& entry);

// Why a name could not be examined, in words, for errno.
QString NotExaminedReason(int error);

// Joins a directory text and a name with a single "/", without normalising:
// "/" and "sub" give "//sub", as the stored texts have always been made.
inline QString JoinPath(const QString& dir, const QString& name)
{
    return dir + u'/' + name;
}
