#include "check/report_groups.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

// What a finding's lines are ordered by.
std::pair<const QString&, const QString&> nameOf(const Finding& finding)
{
    static const QString none;
    if (finding.kind == Finding::Moved)
        return {finding.from, finding.file};
    return {finding.file, none};
}

// The lines of a group, a finding's together, by their findings' names.
void sortByName(LineGroup& group, const QList<qsizetype>& lineFindings, const QList<Finding>& findings)
{
    std::stable_sort(group.lines.begin(), group.lines.end(), [&](qsizetype a, qsizetype b) {
        const qsizetype x = lineFindings[a], y = lineFindings[b];
        const auto [xFirst, xSecond] = nameOf(findings[x]);
        const auto [yFirst, ySecond] = nameOf(findings[y]);
        if (const int first = QString::compare(xFirst, yFirst); first != 0)
            return first < 0;
        if (const int second = QString::compare(xSecond, ySecond); second != 0)
            return second < 0;
        return x < y; // two findings of one name keep their order, and each its lines'
    });
}

} // namespace

QList<LineGroup> GroupedLines(const QList<qsizetype>& lineFindings, const QList<Finding>& findings)
{
    LineGroup unexplained;
    std::map<std::tuple<QString, QString, QString, QString>, LineGroup> explained;
    for (qsizetype line = 0; line < lineFindings.size(); ++line) {
        const qsizetype at = lineFindings[line];
        const std::optional<Explanation>& why = findings[at].explanation;
        LineGroup& group = why ? explained[{why->package, why->architecture, why->from, why->to}] : unexplained;
        group.explanation = why ? &*why : nullptr;
        // A changed file's lines follow each other: each file counts once.
        if (group.lines.isEmpty() || lineFindings[group.lines.last()] != at)
            ++group.files;
        group.lines.append(line);
    }
    QList<LineGroup> groups{std::move(unexplained)};
    for (auto& [key, group] : explained)
        groups.append(std::move(group));
    for (LineGroup& group : groups)
        sortByName(group, lineFindings, findings);
    return groups;
}
