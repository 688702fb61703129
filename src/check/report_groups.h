#pragma once

#include "check/explanation.h"
#include "check/finding.h"

#include <QList>

// Lines of one of the report's lists, by their indexes in it, with the
// package change that explains them; none for the unexplained lines.
struct LineGroup {
    const Explanation* explanation = nullptr; // into the findings given
    QList<qsizetype> lines;
    qsizetype files = 0; // findings: a changed file's lines count once
};

// A list's lines in the order the report window shows them, given the index
// in findings of each line's finding (see ReportLists::findings): the
// unexplained ones first, then a group a package change in order of the
// package's name. Within a group the lines go by their finding's name (a
// moved file's by its old name, then its new), as the code points order
// them; a finding's lines stand together, in their order. There is always
// the unexplained group, empty or not.
QList<LineGroup> GroupedLines(const QList<qsizetype>& lineFindings, const QList<Finding>& findings);
