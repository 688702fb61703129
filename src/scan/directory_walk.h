#pragma once

#include "bits/file_checksums.h"
#include "scan/fingerprint.h"
#include "scan/search_rec.h"

#include <QString>
#include <functional>
#include <memory>

class FileWalker;
class Progress;
class TDM1;

// Walks dir and, depth first, every subdirectory below it, recording every file
// whose extension matches list (see ExtMatches; both are lower-cased first)
// as a row of table1 (ScanToBaseline) or table2 (ScanToCurrent) through
// DM1's IBQuery1. ScanToBaseline writes each row's fingerprint beside it
// (connecting made the table where it was missing). Directories are walked whatever their names and never
// recorded; a directory that cannot be listed adds nothing and is no error.
// An error while recording a file ends the walk; the rows before it stay in
// the open transaction. Nothing is committed.
void ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);
void ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);

// ScanToCurrent in two halves, so that the file system is read while the
// caller still has other database work to do: the constructor starts listing
// dir and reading its files at once, on a thread of its own, keeping what it
// finds until record() writes the rows. Destroying it before record() stops
// the walk and records nothing.
class CurrentScan {
public:
    // Told of every file taken for a row, in the order of the rows' ids, with
    // its fingerprint, which table2 does not keep.
    using Recorded = std::function<void(const QString& dir, const TSearchRec& entry, const FileSums& sums,
                                        const Fingerprint& print)>;

    CurrentScan(const QString& dir, const QString& list);
    ~CurrentScan();
    CurrentScan(const CurrentScan&) = delete;
    CurrentScan& operator=(const CurrentScan&) = delete;

    // Writes the rows exactly as ScanToCurrent does, with its errors; call once.
    void record(TDM1& dm, Progress* progress, const Recorded& recorded);

private:
    std::unique_ptr<FileWalker> m_walker;
};
