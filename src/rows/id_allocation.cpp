#include "rows/id_allocation.h"

#include "storage/ib_query.h"

qint32 NextId(TIBQuery& query, const QString& table)
{
    query.openStatement(Statement(QStringLiteral("select max(id) from ") + table));
    const qint32 id = query.fieldIsNull(QStringLiteral("max")) ? 1 : query.fieldAsInteger(QStringLiteral("max")) + 1;
    query.close();
    query.clearSql();
    return id;
}
