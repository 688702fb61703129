#include "check/check_log.h"

#include "check/check_report.h"
#include "storage/dm1.h"

namespace {
// What the console's exit status adds for names not examined.
constexpr int kNotExaminedBit = 32;
} // namespace

LogEntry CheckLogEntry(qint32 registration, const CheckReport& report, bool explained)
{
    LogEntry entry = NewLogEntry(LogEntry::Check, registration);
    qint32 unexplained = 0;
    for (const Finding& finding : report.findings) {
        switch (finding.kind) {
        case Finding::Deleted: ++entry.deleted; break;
        case Finding::Moved: ++entry.moved; break;
        case Finding::New: ++entry.added; break;
        case Finding::Changed: ++entry.changed; break;
        }
        unexplained += !finding.explanation;
    }
    if (explained)
        entry.unexplained = unexplained;
    entry.notExamined = qint32(report.notExamined.size());
    entry.status = report.foundBits() | (report.notExamined.isEmpty() ? 0 : kNotExaminedBit);
    entry.seal = report.sealBroken ? QStringLiteral("broken")
                 : report.sealLines.isEmpty() ? QStringLiteral("none")
                                              : QStringLiteral("holds");
    return entry;
}

void LogCheck(TDM1& dm, const LogEntry& entry)
{
    TIBTransaction& transaction = dm.IBTransaction1;
    if (!transaction.active() || transaction.changedData() || !MayWriteLog(dm.IBQuery1)
        || !transaction.tryBeginWriting())
        return;
    WriteLogEntry(dm.IBQuery1, entry);
    transaction.commit();
    transaction.startTransaction();
}
