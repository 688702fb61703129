#include "watch/reported_findings.h"


#include <QSet>

template<typename Where>
QStringList ReportedFindings::forget(const QList<FindingLine>& lines, const Where& where)
{
    QSet<QString> found;
    for (const FindingLine& line : lines)
        found.insert(line.name);
    QStringList withdrawn;
    m_lines.removeIf([&](const auto& entry) {
        if (!where(entry.key()))
            return false;
        if (!found.contains(entry.key()))
            withdrawn.append(entry.key());
        return true;
    });
    withdrawn.sort();
    return withdrawn;
}

ReportedChange ReportedFindings::judged(const QList<JudgedName>& names, const QList<FindingLine>& lines)
{
    ReportedChange change{unreported(lines), {}};
    const CoveredNames covered(names);
    change.withdrawn = forget(lines, [&](const QString& name) { return covered.covers(name); });
    remember(lines);
    return change;
}

ReportedChange ReportedFindings::checked(const QList<FindingLine>& lines)
{
    ReportedChange change{unreported(lines), {}};
    change.withdrawn = forget(lines, [](const QString&) { return true; });
    remember(lines);
    return change;
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
