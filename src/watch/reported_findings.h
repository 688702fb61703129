#pragma once

#include "check/judge_names.h"
#include "watch/finding_lines.h"

#include <QHash>
#include <QList>
#include <QStringList>

// What a judgement changed of what a watch has reported: the lines not
// reported before, in their order, and the names something was reported of
// that nothing is found of any more (a new file removed again, a changed one
// put back as it was), in the order of their names.
struct ReportedChange {
    QList<FindingLine> fresh;
    QStringList withdrawn;
};

// What a watch has reported of each name of a registration, so that a name
// judged again, or checked in full after it was judged, reports only the
// lines it had not: a file written twice is reported once, as long as the
// lines a check gives of it stay the same (the JSON's hold the file's state
// as found, so each new state is a line of its own).
class ReportedFindings {
public:
    // What a judgement of names (see JudgeNames) found that was not reported
    // of their names before, and what no longer holds of them; what is no
    // longer found of the names judged is forgotten.
    ReportedChange judged(const QList<JudgedName>& names, const QList<FindingLine>& lines);
    // The same for a check of the whole registration.
    ReportedChange checked(const QList<FindingLine>& lines);

    // The names with something reported and still found.
    qsizetype names() const { return m_lines.size(); }
    void clear() { m_lines.clear(); }

private:
    QList<FindingLine> unreported(const QList<FindingLine>& lines) const;
    // Forgets the names that where says, and gives those of them lines holds
    // nothing of.
    template<typename Where>
    QStringList forget(const QList<FindingLine>& lines, const Where& where);
    // Each name of lines has those lines reported, and no others.
    void remember(const QList<FindingLine>& lines);

    QHash<QString, QStringList> m_lines; // by the full name they are about
};
