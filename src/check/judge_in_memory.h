#pragma once

#include "check/check_report.h"
#include "rows/check_rows.h"

#include <functional>

// Judges a check from rows read once, giving what CheckBaselineFile and
// CompareCurrentFile give row by row with their statements (see
// reference_judge.h) where the rows' own columns decide, and comparing
// fingerprints where both rows have one (see FingerprintColumn):
// - baseline: the rows of the registration under check, in the order the
//   database returned them;
// - current: the walk of its directory, in the order walked.
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
