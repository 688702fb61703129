#include "rows/insert_record.h"

#include "rows/file_row_values.h"
#include "rows/fingerprint_columns.h"
#include "rows/id_allocation.h"
#include "scan/directory_entries.h"
#include "storage/ib_query.h"

static qint32 insertRecord(const QString& table, TIBQuery& query, const QString& dir, const TSearchRec& entry,
                           IdCounter* ids, const FileSums* given)
{
    const QString fullName = JoinPath(dir, entry.Name);
    qint32 id = 0;
    if (ids && ids->next) {
        id = *ids->next;
    } else {
        id = NextId(query, table);
    }
    const FileSums sums = given ? *given : FileChecksums(fullName);

    Statement insert(QString(QStringLiteral("insert into ") + table + QStringLiteral(" values (")));
    AppendFileRowValues(insert, id, dir, entry, sums).sql(u")");
    query.executeStatement(insert);
    if (ids)
        ids->next = id + 1;
    return id;
}

void InsertBaselineRecord(TIBQuery& query, const QString& dir, const TSearchRec& entry, IdCounter* ids,
                          const FileSums* sums, const Fingerprint* print, qint32 owner)
{
    const qint32 id = insertRecord(QStringLiteral("table1"), query, dir, entry, ids, sums);
    if (print)
        InsertFingerprint(query, id, *print, owner);
}
