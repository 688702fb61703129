#pragma once

#include "bits/file_checksums.h"
#include "scan/fingerprint.h"
#include "scan/search_rec.h"

#include <QString>
#include <optional>

class TIBQuery;

// Ids handed out by one walk: the first row asks the table for max(id); later
// rows of the same walk count on from there, which gives exactly the ids the
// query would, since nothing else writes to the table while the walk runs.
struct IdCounter {
    std::optional<qint32> next;
};

// Adds one row for the file entry in dir to table1 (the baseline), through
// query: the next id, the name, dir, the size, the packed time as text,
// AttrToText and both checksums of the file, read once. After a normal return
// exactly one row has been added, uncommitted; when the file cannot be read,
// EFileBitError names it and no row is added. sums, when given, are the file's
// checksums read beforehand. print, when given, is the file's fingerprint,
// which is added to the fingerprint table with the row's id, the row owned by
// the registration owner (a tab id; 0 for none).
void InsertBaselineRecord(TIBQuery& query, const QString& dir, const TSearchRec& entry, IdCounter* ids = nullptr,
                          const FileSums* sums = nullptr, const Fingerprint* print = nullptr, qint32 owner = 0);
