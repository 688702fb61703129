#include "rows/id_allocation.h"

#include "storage/ib_query.h"

qint32 NextId(TIBQuery& query, const QString& table)
{
    const qint32 id = Scalar(query, Statement(QStringLiteral("select max(id) from ") + table)).value_or(0) + 1;
    query.clearSql();
    return id;
}
