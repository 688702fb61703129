#include "check/check_report.h"

#include <QSet>

void CheckReport::strikeMovedFromDeleted()
{
    // Only the exact old names are struck: a substring test would also strike
    // /d/a.txt because /d/a.txt.bak moved.
    QSet<QString> from;
    for (const Finding& finding : findings)
        if (finding.kind == Finding::Moved)
            from.insert(finding.from);
    if (!from.isEmpty())
        findings.removeIf([&](const Finding& f) { return f.kind == Finding::Deleted && from.contains(f.file); });
}

int CheckReport::foundBits() const
{
    int bits = sealBroken ? kFoundSealBroken : 0;
    for (const Finding& finding : findings) {
        switch (finding.kind) {
        case Finding::Deleted:
            bits |= kFoundDeleted;
            break;
        case Finding::Moved:
            bits |= kFoundMoved | (finding.attributes ? kFoundChanged : 0);
            break;
        case Finding::New:
            bits |= kFoundNew;
            break;
        case Finding::Changed:
            bits |= kFoundChanged;
            break;
        }
    }
    return bits;
}

CheckReport CheckReport::unexplained() const
{
    CheckReport left = *this;
    left.findings.clear();
    for (const Finding& finding : findings)
        if (!finding.explanation)
            left.add(finding);
    return left;
}
