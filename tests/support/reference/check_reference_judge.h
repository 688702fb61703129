#pragma once

#include "check/check_report.h"

#include <QString>

class TDM1;
class TIBQuery;

// The integrity check as the program first made it: the walk written into
// table2, then every file judged by statements of its own. Slow, and blind to
// fingerprints; kept as the yardstick that RunCheck is tested against (as
// bits_reference_checksums.h is for the checksums), and run by no command.

// The verdict on one file.
struct param {
    enum State : qint16 { NoVerdict = 0, AtPlace = 1, Moved = 2, New = 3, Deleted = 4 };

    QString text;   // the report line
    qint16 state = NoVerdict;
    QString flags;  // "S", "A", "C" in this order, for a file at its place; "A" for a moved one
    QString movedFrom; // the old full name of a moved file
    QString movedTo;   // and its new one
};

// Judges the table1 row that baseline stands on: state Deleted, with the row's
// full name as text, when table2 has no file of that name in that directory;
// otherwise AtPlace with an empty text. Only lookup runs a statement.
param CheckBaselineFile(TIBQuery& baseline, TIBQuery& lookup);

// Judges the table2 row that current stands on against table1, running every
// statement on lookup:
// - AtPlace when table1 has a row of that name in that directory; text is its
//   full name and flags holds "S" (no such row with this size), "A" (with this
//   attribute text) and "C" (with both checksums), in this order;
// - Moved when, instead, a row of that name with both checksums lies elsewhere
//   in directory (the directory under check) at a place the scan left empty;
//   text is "<old> перемещен в <new>" and movedFrom the old full name;
// - New otherwise, with the row's full name.
// The statements only read; lookup is left open on the last one's result.
param CompareCurrentFile(TIBQuery& lookup, TIBQuery& current, const QString& directory);

// The check of dir, a directory under control, by those two: table2 is emptied
// and filled with a walk of dir with its first registration's extension list,
// committed, every table1 row at dir or below it judged (whoever owns it) and
// then every table2 row, the old places of moved files struck from the
// deleted ones, and table2 emptied again. Its findings carry no states.
CheckReport ReferenceCheck(TDM1& dm, const QString& dir);
