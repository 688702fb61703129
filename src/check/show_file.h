#pragma once

#include "check/param.h"

class TIBQuery;

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
//   in directory (the directory under check); text is "<old> перемещен в <new>"
//   and movedFrom the old full name;
// - New otherwise, with the row's full name.
// The statements only read; lookup is left open on the last one's result.
param CompareCurrentFile(TIBQuery& lookup, TIBQuery& current, const QString& directory);
