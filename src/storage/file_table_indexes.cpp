#include "storage/file_table_indexes.h"

#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <ibase.h>

QStringList FileTableIndexes(TIBQuery& query)
{
    QStringList names;
    query.openStatement(Statement(u"select rdb$index_name from rdb$indices"
                                  u" where rdb$relation_name in ('TABLE1','TABLE2') and coalesce(rdb$system_flag,0)=0"));
    if (query.hasRow()) {
        const int name = query.fieldIndex(QStringLiteral("rdb$index_name"));
        do
            names.append(query.field(name).toString().trimmed());
        while (query.next());
    }
    query.close();
    return names;
}

bool DropIndexes(TIBDatabase& database, const QStringList& names)
{
    const QVariant handle = database.handle().driver()->handle();
    if (handle.metaType() != QMetaType::fromType<isc_db_handle>())
        return false;
    isc_db_handle attachment = handle.value<isc_db_handle>();
    // Qt's transactions wait for locks; this one must not, or it would wait
    // for whichever connection is using the indexes.
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    ISC_STATUS_ARRAY status{};
    isc_tr_handle transaction = 0;
    if (isc_start_transaction(status, &transaction, 1, &attachment, short(sizeof tpb), tpb))
        return false;
    bool dropped = true;
    for (const QString& name : names) {
        const QByteArray sql = "drop index \"" + name.toUtf8().replace('"', "\"\"") + '"';
        if (isc_dsql_execute_immediate(status, &attachment, &transaction, 0, sql.constData(), SQL_DIALECT_V6, nullptr)) {
            dropped = false;
            break;
        }
    }
    // The engine drops them at the commit, which is where a conflict shows.
    if (dropped && isc_commit_transaction(status, &transaction) == 0)
        return true;
    isc_rollback_transaction(status, &transaction);
    return false;
}
