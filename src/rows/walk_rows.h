#pragma once

#include "scan/not_examined.h"

#include <QString>

class Progress;
class TDM1;

// Walks dir and, depth first, every subdirectory below it (see FileWalker),
// recording every file whose extension matches list (see ExtMatches; both are
// lower-cased first) as a row of table1 (ScanToBaseline) or table2
// (ScanToCurrent) through DM1's IBQuery1. ScanToBaseline writes each row's
// fingerprint beside it, the row owned by the registration owner (a tab id; 0
// for none). Directories are walked whatever their names and never recorded;
// a directory that cannot be listed, or a file that cannot be read, adds
// nothing and is no error; both return what the walk could not examine (see
// FileWalker). An error while recording a file ends the walk; the rows
// before it stay in the open transaction. Nothing is committed.
NotExaminedList ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr,
                               qint32 owner = 0);
// table2 is written only by the reference check, the one per-file statements
// make, which the integrity check is tested against (see ReferenceCheck).
NotExaminedList ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);

// Whether table2 holds rows (an interrupted check of an earlier version left
// them), and deleting them all in one statement.
bool Table2HasRows(TDM1& dm);
void EmptyTable2(TDM1& dm);
