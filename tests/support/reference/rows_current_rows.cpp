#include "support/reference/rows_current_rows.h"

#include "common/progress.h"
#include "rows/bulk_insert.h"
#include "rows/id_allocation.h"
#include "scan/attr_text.h"
#include "scan/directory_entries.h"
#include "scan/file_walker.h"
#include "storage/dm1.h"
#include "storage/ib_query.h"

void InsertCurrentRecord(TIBQuery& query, const QString& dir, const TSearchRec& entry, IdCounter* ids,
                         const FileSums* given, const Fingerprint*, qint32)
{
    const QString fullName = JoinPath(dir, entry.Name);
    qint32 id = 0;
    if (ids && ids->next) {
        id = *ids->next;
    } else {
        id = NextId(query, QStringLiteral("table2"));
    }
    const FileSums sums = given ? *given : FileChecksums(fullName);

    query.executeStatement(Statement(u"insert into table2 values (")
                               .number(id)
                               .sql(u",")
                               .quoted(entry.Name)
                               .sql(u",")
                               .quoted(dir)
                               .sql(u",")
                               .bigNumber(entry.Size)
                               .sql(u",")
                               .quoted(QString::number(entry.Time))
                               .sql(u",")
                               .quoted(AttrToText(entry.Attr))
                               .sql(u",")
                               .number(sums.crc1)
                               .sql(u",")
                               .number(sums.crc2)
                               .sql(u")"));
    if (ids)
        ids->next = id + 1;
}

NotExaminedList ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    FileWalker walker(dir, list.toLower());
    BulkInsert rows(dm.IBQuery1, QStringLiteral("table2"), InsertCurrentRecord);
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
        }
        if (progress)
            progress->walking(step.dir, count);
    }
    rows.flush();
    return walker.notExamined();
}
