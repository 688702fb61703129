#include "watch/reported_findings.h"

#include "check/judge_directories.h"

QList<FindingLine> ReportedFindings::judged(const QList<JudgedName>& names, const QList<FindingLine>& lines)
{
    QList<FindingLine> fresh = unreported(lines);
    bool trees = false;
    for (const JudgedName& name : names) {
        if (name.scope == JudgedName::Tree)
            trees = true;
        else
            m_lines.remove(name.scope == JudgedName::File ? name.path : DirectoryFullName(name.path));
    }
    if (trees) {
        const CoveredNames covered(names);
        m_lines.removeIf([&](const auto& entry) { return covered.covers(entry.key()); });
    }
    remember(lines);
    return fresh;
}

QList<FindingLine> ReportedFindings::checked(const QList<FindingLine>& lines)
{
    QList<FindingLine> fresh = unreported(lines);
    m_lines.clear();
    remember(lines);
    return fresh;
}

QList<FindingLine> ReportedFindings::unreported(const QList<FindingLine>& lines) const
{
    QList<FindingLine> fresh;
    for (const FindingLine& line : lines)
        if (!m_lines.value(line.name).contains(line.line))
            fresh.append(line);
    return fresh;
}

void ReportedFindings::remember(const QList<FindingLine>& lines)
{
    for (const FindingLine& line : lines)
        m_lines.remove(line.name);
    for (const FindingLine& line : lines)
        m_lines[line.name].append(line.line);
}
