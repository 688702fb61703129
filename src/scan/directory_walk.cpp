#include "scan/directory_walk.h"

#include "common/progress.h"
#include "scan/bulk_insert.h"
#include "scan/file_walker.h"
#include "scan/insert_record.h"
#include "storage/dm1.h"
#include "storage/fingerprint_table.h"

namespace {

NotExaminedList walk(FileWalker& walker, TIBQuery& query, const QString& table, BulkInsert::InsertRoutine insert,
          Progress* progress, bool prints, qint32 owner = 0)
{
    BulkInsert rows(query, table, insert, prints, owner);
    qint64 count = 0;
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error) {
            rows.flush(); // the files before the unreadable one are recorded
            std::rethrow_exception(step.error);
        }
        if (!step.entered) {
            rows.add(step.dir, step.entry, step.sums, step.print);
            ++count;
        }
        if (progress)
            progress->walking(step.dir, count);
    }
    rows.flush();
    return walker.notExamined();
}

} // namespace

NotExaminedList ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress, qint32 owner)
{
    const bool prints = HasFingerprintTable(dm.IBQuery1);
    FileWalker walker(dir, list.toLower());
    return walk(walker, dm.IBQuery1, QStringLiteral("table1"), InsertBaselineRecord, progress, prints, owner);
}

NotExaminedList ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    FileWalker walker(dir, list.toLower());
    return walk(walker, dm.IBQuery1, QStringLiteral("table2"), InsertCurrentRecord, progress, false);
}
