#pragma once

#include "bits/file_checksums.h"
#include "rows/insert_record.h"
#include "scan/fingerprint.h"
#include "scan/not_examined.h"
#include "scan/search_rec.h"

#include <QString>

class Progress;
class TDM1;
class TIBQuery;

// The rows of table2, the current scan: written only by the reference check
// (see ReferenceCheck), which the integrity check is tested against.

// Adds one row for the file entry in dir to table2 through query, as
// InsertBaselineRecord adds one to table1: the next id, the name, dir, the
// size, the packed time as text, AttrToText and both checksums of the file,
// read once (or sums, when given). After a normal return exactly one row has
// been added, uncommitted; when the file cannot be read, EFileBitError names it
// and no row is added. table2 keeps no fingerprints: print and owner are not
// used (they let BulkInsert take this routine).
void InsertCurrentRecord(TIBQuery& query, const QString& dir, const TSearchRec& entry, IdCounter* ids = nullptr,
                         const FileSums* sums = nullptr, const Fingerprint* print = nullptr, qint32 owner = 0);

// Walks dir as ScanToBaseline does (see FileWalker), recording every file whose
// extension matches list (see ExtMatches; both are lower-cased first) as a row
// of table2 through DM1's IBQuery1; directories are walked and not recorded. A
// directory that cannot be listed, or a file that cannot be read, adds nothing
// and is no error; returns what the walk could not examine. An error while
// recording a file ends the walk; the rows before it stay in the open
// transaction. Nothing is committed.
NotExaminedList ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);
