#pragma once

#include "check/check_report.h"
#include "check/check_rows.h"

#include <functional>

// Judges a check from rows read once, giving exactly what CheckBaselineFile and
// CompareCurrentFile give row by row with their statements (the reference),
// and comparing fingerprints where both rows have one:
// - baseline: the table1 rows of the directory under check (the rows that
//   AppendDirectoryRows selects), in the order the database returned them;
// - current: the scan, in the order walked (or table2's rows, in the order the
//   database returned them); each path must lie in the directory under check
//   (InDirectory), as a walk of it makes them, since the statements would
//   look for the others in rows of table1 outside the baseline read here.
// Both must share one DirectoryTable.
//
// Adds to report, in that order, each baseline row without a current row of
// its name and place (deleted); and for each current row what
// CompareCurrentFile finds (moved, new, or changed), with what was and is of
// a changed or moved file. Names and paths are compared as the database
// compares them in octets columns, byte for byte; atr as a text (trailing
// blanks aside). judged is told every few hundred rows how many of the
// baseline and current rows together have been judged.
void JudgeInMemory(const CheckRows& baseline, const CheckRows& current, CheckReport& report,
                   const std::function<void(qint64 judged)>& judged);
