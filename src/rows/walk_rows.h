#pragma once

#include "scan/not_examined.h"

#include <QString>

class Progress;
class TDM1;

// Walks dir and, depth first, every subdirectory below it (see FileWalker),
// recording through DM1's IBQuery1 every file whose extension matches list
// (see ExtMatches; both are lower-cased first) as a row of table1 with its
// fingerprint beside it, and every directory it enters, whatever its name, as
// a directory_print row with the directory's fingerprint (dir itself too, even
// when it is no directory now: its fingerprint then says what it is). The rows
// are owned by the registration owner (a tab id; 0 for none). A directory that
// cannot be listed, or a file that cannot be read, adds nothing and is no
// error; returns what the walk could not examine (see FileWalker). An error
// while recording a file ends the walk; the rows before it stay in the open
// transaction. Nothing is committed.
NotExaminedList ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr,
                               qint32 owner = 0);

// Whether table2 holds rows (an interrupted check of an earlier version left
// them), and deleting them all in one statement.
bool Table2HasRows(TDM1& dm);
void EmptyTable2(TDM1& dm);
