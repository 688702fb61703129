#include "storage/fingerprint_table.h"

#include "storage/database_error.h"
#include "storage/database_file.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSqlError>
#include <QSqlQuery>

bool HasFingerprintTable(TIBQuery& query)
{
    query.openStatement(Statement(u"select count(*) from rdb$relations where rdb$relation_name='FINGERPRINT'"));
    return query.fieldAsInteger(QStringLiteral("count")) > 0;
}

void EnsureFingerprintTable(TIBDatabase& database)
{
    // Outside the connection's transaction, each statement commits by itself.
    QSqlQuery query(database.handle());
    if (!query.exec(QStringLiteral("select count(*) from rdb$relations where rdb$relation_name='FINGERPRINT'"))
        || !query.next())
        throw EDatabaseError::fromSql(query.lastError());
    if (query.value(0).toInt() > 0) {
        // A table made before rows had owners gets the column, last, as the
        // inserts list their values by position.
        if (!query.exec(QStringLiteral("select count(*) from rdb$relation_fields where rdb$relation_name='FINGERPRINT'"
                                       " and rdb$field_name='TAB_ID'"))
            || !query.next())
            throw EDatabaseError::fromSql(query.lastError());
        if (query.value(0).toInt() == 0 && !query.exec(QStringLiteral("alter table fingerprint add tab_id integer")))
            throw EDatabaseError::fromSql(query.lastError());
        return;
    }
    // The schema's own statements of the table, so that a database made now
    // and one brought up to date hold the same.
    for (const QString& statement : SchemaStatements())
        if (statement.contains(QLatin1StringView(" fingerprint")) && !query.exec(statement))
            throw EDatabaseError::fromSql(query.lastError());
}
