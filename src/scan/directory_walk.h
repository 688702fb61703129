#pragma once

#include "scan/not_examined.h"
#include "scan/search_rec.h"

#include <QString>

class Progress;
class TDM1;

// Walks dir and, depth first, every subdirectory below it, recording every file
// whose extension matches list (see ExtMatches; both are lower-cased first)
// as a row of table1 (ScanToBaseline) or table2 (ScanToCurrent) through
// DM1's IBQuery1. ScanToBaseline writes each row's fingerprint beside it
// (connecting made the table where it was missing), owned by the registration
// owner (a tab id; 0 for none). Directories are walked
// whatever their names and never recorded; a directory that cannot be listed
// adds nothing and is no error; both return what the walk could not examine
// (see ListDirectory).
// An error while recording a file ends the walk; the rows before it stay in
// the open transaction. Nothing is committed.
NotExaminedList ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr,
                               qint32 owner = 0);
NotExaminedList ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);
