#include "rows/walk_rows.h"

#include "common/progress.h"
#include "rows/bulk_insert.h"
#include "rows/insert_record.h"
#include "scan/file_walker.h"
#include "storage/dm1.h"

namespace {

NotExaminedList walk(FileWalker& walker, TIBQuery& query, const QString& table, BulkInsert::InsertRoutine insert,
          Progress* progress, bool prints, qint32 owner = 0)
{
    BulkInsert rows(query, table, insert, prints, owner);
    qint64 count = 0;
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error) {
            rows.flush(); // the files before the walk broke down are recorded
            std::rethrow_exception(step.error);
        }
        if (!step.entered) {
            rows.add(step.dir, step.entry, step.sums, step.print);
            ++count;
        } else if (prints && !step.unexamined) {
            rows.addDirectory(step.dir, step.print);
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
    FileWalker walker(dir, list.toLower());
    return walk(walker, dm.IBQuery1, QStringLiteral("table1"), InsertBaselineRecord, progress, true, owner);
}

bool Table2HasRows(TDM1& dm)
{
    return Scalar(dm.IBQuery1, Statement(u"select first 1 1 from table2")).has_value();
}

void EmptyTable2(TDM1& dm)
{
    dm.IBQuery1.executeStatement(Statement(u"delete from table2"));
}
