#include "scan/directory_walk.h"

#include "common/progress.h"
#include "scan/bulk_insert.h"
#include "scan/file_walker.h"
#include "scan/insert_record.h"
#include "storage/dm1.h"

namespace {

void walk(TIBQuery& query, const QString& table, BulkInsert::InsertRoutine insert, const QString& dir,
          const QString& list, Progress* progress)
{
    FileWalker walker(dir, list.toLower());
    BulkInsert rows(query, table, insert);
    qint64 recorded = 0;
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error) {
            rows.flush(); // the files before the unreadable one are recorded
            std::rethrow_exception(step.error);
        }
        if (!step.entered) {
            rows.add(step.dir, step.entry, step.sums);
            ++recorded;
        }
        if (progress)
            progress->walking(step.dir, recorded);
    }
    rows.flush();
}

} // namespace

void ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    walk(dm.IBQuery1, QStringLiteral("table1"), InsertBaselineRecord, dir, list, progress);
}

void ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    walk(dm.IBQuery1, QStringLiteral("table2"), InsertCurrentRecord, dir, list, progress);
}
