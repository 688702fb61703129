#include "check/check_rows.h"

#include "storage/ib_query.h"

QList<CheckRow> ReadCheckRows(TIBQuery& query, const Statement& statement, const std::function<void(qint64 read)>& read)
{
    QList<CheckRow> rows;
    query.openStatement(statement);
    const int name = query.fieldIndex(QStringLiteral("File_name"));
    const int path = query.fieldIndex(QStringLiteral("full_path"));
    const int size = query.fieldIndex(QStringLiteral("file_size"));
    const int atr = query.fieldIndex(QStringLiteral("atr"));
    const int crc1 = query.fieldIndex(QStringLiteral("crc1"));
    const int crc2 = query.fieldIndex(QStringLiteral("crc2"));
    if (!query.hasRow()) {
        query.close();
        return rows;
    }
    do {
        CheckRow row;
        row.name = query.field(name).toString();
        row.path = query.field(path).toString();
        // Files of one directory come together: keeping one copy of its text
        // saves memory and makes later comparisons of it quick.
        if (!rows.isEmpty() && rows.constLast().path == row.path)
            row.path = rows.constLast().path;
        row.size = query.fieldAsInteger(size);
        row.atr = query.field(atr).toString();
        row.crc1 = query.fieldAsInteger(crc1);
        row.crc2 = query.fieldAsInteger(crc2);
        rows.append(std::move(row));
        if (rows.size() % 256 == 0)
            read(rows.size());
    } while (query.next());
    read(rows.size());
    query.close();
    return rows;
}
