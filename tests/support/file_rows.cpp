#include "file_rows.h"

#include "storage/dm1.h"

QList<FileRow> ReadFileRows(TDM1& dm, const QString& table)
{
    const qint32 count = CountRows(dm, table);
    QList<FileRow> rows;
    TIBQuery& q = dm.IBQuery1;
    q.openStatement(Statement(QString(QStringLiteral("select * from ") + table + QStringLiteral(" order by id"))));
    for (qint32 i = 0; i < count; ++i) {
        if (i > 0)
            q.next();
        rows.append({q.fieldAsInteger(QStringLiteral("id")), q.fieldAsString(QStringLiteral("file_name")),
                     q.fieldAsString(QStringLiteral("full_path")), q.fieldAsLargeInt(QStringLiteral("file_size")),
                     q.fieldAsString(QStringLiteral("data")), q.fieldAsString(QStringLiteral("atr")),
                     q.fieldAsInteger(QStringLiteral("crc1")), q.fieldAsInteger(QStringLiteral("crc2"))});
    }
    return rows;
}

qint32 CountRows(TDM1& dm, const QString& table)
{
    dm.IBQuery1.openStatement(Statement(QString(QStringLiteral("select count(*) from ") + table)));
    return dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
}

QStringList SortedFullNames(TDM1& dm, const QString& table, const QString& prefix)
{
    QStringList names;
    for (const FileRow& row : ReadFileRows(dm, table))
        names.append(row.fullName().mid(prefix.size()));
    names.sort();
    return names;
}

void ForgetOwners(TDM1& dm)
{
    dm.IBQuery1.executeStatement(Statement(u"update fingerprint set tab_id = null"));
    // Nor did that version keep digests of the rows.
    dm.IBQuery1.executeStatement(Statement(u"delete from seal"));
}
