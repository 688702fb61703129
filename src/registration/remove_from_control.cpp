#include "registration/remove_from_control.h"

#include "common/exception.h"
#include "common/progress.h"
#include "storage/delete_directory_rows.h"
#include "storage/dm1.h"

void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress)
{
    TIBQuery& query = dm.IBQuery1;
    query.openStatement(Statement(u"select * from tab where file_name=").quoted(dir));
    if (query.fieldIsNull(QStringLiteral("id")))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    const qint32 tabId = query.fieldAsInteger(QStringLiteral("id"));
    query.executeStatement(Statement(u"delete from tab where id=").number(tabId));

    DeleteDirectoryRows(query, dir, [&](qint64 done, qint64 total) {
        if (progress)
            progress->judging(QStringLiteral("Удалено записей"), done, total);
    });
}
