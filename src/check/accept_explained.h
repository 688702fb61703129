#pragma once

#include "rows/recorded_change.h"

#include <QString>

class Progress;
class TDM1;

// What update --explained did: the change recorded, and how many findings
// were accepted and left.
struct ExplainedAccept {
    RecordedChange recorded;
    qsizetype accepted = 0;
    qsizetype left = 0;
};

// Checks dir, explains what it found by the package manager's records under
// packageRoot (see ExplainFindings), and accepts exactly the explained
// findings, by name (see AcceptFiles); then records the packages afresh, so
// that what is left unexplained stays so. Nothing is committed but what a
// check commits.
ExplainedAccept AcceptExplained(TDM1& dm, const QString& dir, const QString& packageRoot, Progress* progress = nullptr);
