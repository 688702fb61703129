#include "registration/remove_from_control.h"

#include "common/exception.h"
#include "common/progress.h"
#include "storage/directory_rows.h"
#include "storage/dm1.h"

void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress)
{
    TIBQuery& query = dm.IBQuery1;
    query.openStatement(Statement(u"select * from tab where file_name=").quoted(dir));
    if (query.fieldIsNull(QStringLiteral("id")))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    const qint32 tabId = query.fieldAsInteger(QStringLiteral("id"));
    query.executeStatement(Statement(u"delete from tab where id=").number(tabId));

    Statement countRows(u"select count(*) from table1 where ");
    query.openStatement(AppendDirectoryRows(countRows, dir));
    const qint32 count = query.fieldAsInteger(QStringLiteral("count"));
    if (count == 0)
        return;
    Statement rows(u"select * from table1 where ");
    query.openStatement(AppendDirectoryRows(rows, dir));
    // IBQuery2 runs the deletes and stays closed after each, so moving
    // IBQuery1 on does not run it again through the master link.
    for (qint32 deleted = 0; deleted < count; ++deleted) {
        if (deleted > 0)
            query.next();
        dm.IBQuery2.executeStatement(Statement(u"delete from table1 where id=").number(query.fieldAsInteger(QStringLiteral("id"))));
        if (progress)
            progress->judging(QStringLiteral("Удалено записей"), deleted + 1, count);
    }
}
