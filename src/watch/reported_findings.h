#pragma once

#include "check/judge_names.h"
#include "watch/finding_lines.h"

#include <QHash>
#include <QList>
#include <QStringList>

// What a watch has reported of each name of a registration, so that a name
// judged again, or checked in full after it was judged, reports only the
// lines it had not: a file written twice is reported once, as long as the
// lines a check gives of it stay the same (the JSON's hold the file's state
// as found, so each new state is a line of its own).
class ReportedFindings {
public:
    // The lines of a judgement of names (see JudgeNames) that were not
    // reported of their names before, in their order; what is no longer
    // found of the names judged is forgotten.
    QList<FindingLine> judged(const QList<JudgedName>& names, const QList<FindingLine>& lines);
    // The same for a check of the whole registration.
    QList<FindingLine> checked(const QList<FindingLine>& lines);

    // The names with something reported and still found.
    qsizetype names() const { return m_lines.size(); }
    void clear() { m_lines.clear(); }

private:
    QList<FindingLine> unreported(const QList<FindingLine>& lines) const;
    // Each name of lines has those lines reported, and no others.
    void remember(const QList<FindingLine>& lines);

    QHash<QString, QStringList> m_lines; // by the full name they are about
};
