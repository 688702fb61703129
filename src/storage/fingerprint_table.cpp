#include "storage/fingerprint_table.h"

#include "storage/database_error.h"
#include "storage/database_file.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <ibase.h>

bool HasFingerprintTable(TIBQuery& query)
{
    query.openStatement(Statement(u"select count(*) from rdb$relations where rdb$relation_name='FINGERPRINT'"));
    return query.fieldAsInteger(QStringLiteral("count")) > 0;
}

namespace {

[[noreturn]] void refused(const ISC_STATUS* status)
{
    QString text;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QString::fromLocal8Bit(buffer);
    throw EDatabaseError(QStringLiteral("Не удалось создать таблицу отпечатков файлов: ") + text);
}

} // namespace

void EnsureFingerprintTable(TIBDatabase& database, TIBQuery& query)
{
    if (HasFingerprintTable(query))
        return;
    const QVariant handle = database.handle().driver()->handle();
    if (handle.metaType() != QMetaType::fromType<isc_db_handle>())
        throw EDatabaseError(QStringLiteral("Нет соединения с базой данных"));
    isc_db_handle attachment = handle.value<isc_db_handle>();
    // Qt keeps one transaction per connection, and that one is open.
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
    ISC_STATUS_ARRAY status{};
    isc_tr_handle transaction = 0;
    if (isc_start_transaction(status, &transaction, 1, &attachment, short(sizeof tpb), tpb))
        refused(status);
    // The schema's own statements of the table, so that a database made now
    // and one brought up to date hold the same.
    for (const QString& statement : SchemaStatements()) {
        if (!statement.contains(QLatin1StringView(" fingerprint")))
            continue;
        const QByteArray sql = statement.toUtf8();
        if (isc_dsql_execute_immediate(status, &attachment, &transaction, 0, sql.constData(), SQL_DIALECT_V6, nullptr)) {
            ISC_STATUS_ARRAY ignored{};
            isc_rollback_transaction(ignored, &transaction);
            refused(status);
        }
    }
    if (isc_commit_transaction(status, &transaction)) {
        ISC_STATUS_ARRAY ignored{};
        isc_rollback_transaction(ignored, &transaction);
        refused(status);
    }
}
