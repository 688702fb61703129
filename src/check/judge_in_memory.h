#pragma once

#include "check/check_report.h"
#include "rows/check_rows.h"

#include <functional>
#include <memory>

// Judges a check from rows read once, giving what CheckBaselineFile and
// CompareCurrentFile give row by row with their statements (the tests'
// reference, tests/support/reference/check_reference_judge.h) where the rows'
// own columns decide, and comparing fingerprints where both rows have one (see
// FingerprintField):
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

// The same judgement with the current rows taken as the walk hands them over,
// so that a check holds only the rows of the files not at their place: a file
// at its place is judged the moment it is taken; the rest, and the baseline
// rows left without a file, once the walk is over (see finish).
class FileJudge {
public:
    // baseline must stay as it is while the judge lives.
    explicit FileJudge(const CheckRows& baseline);
    ~FileJudge();
    FileJudge(const FileJudge&) = delete;
    FileJudge& operator=(const FileJudge&) = delete;

    // Judges every row of current, next in the walk after those taken
    // before; current shares the baseline's DirectoryTable, and may be
    // emptied once taken.
    void take(const CheckRows& current);
    // Adds to report what JudgeInMemory would of the baseline and every row
    // taken, in its order; judged as there.
    void finish(CheckReport& report, const std::function<void(qint64 judged)>& judged);

private:
    class Rows;
    std::unique_ptr<Rows> m_rows;
};
