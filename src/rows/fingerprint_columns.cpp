#include "rows/fingerprint_columns.h"

#include "storage/ib_database.h"
#include "storage/ib_query.h"
#include "storage/row_cursor.h"
#include "storage/schema.h"

namespace {

Statement& appendOwner(Statement& statement, qint32 owner)
{
    return owner > 0 ? statement.number(owner) : statement.sql(u"null");
}

// What follows each column's value as a batch casts them: " as <type>)",
// and ",cast(" before the next.
const QStringList& castEnds()
{
    static const QStringList ends = [] {
        QStringList list;
        for (const FingerprintField& field : FingerprintFields())
            list.append(QStringLiteral(" as ") + SchemaColumnType(QStringLiteral("fingerprint"), field.column)
                        + QStringLiteral("),cast("));
        list.last().chop(6);
        return list;
    }();
    return ends;
}

} // namespace

QString FingerprintColumnNames()
{
    QStringList names;
    for (const FingerprintField& field : FingerprintFields())
        names.append(field.column);
    return names.join(u',');
}

QString FingerprintSelectList(const TIBQuery& query, const QString& table)
{
    QStringList names;
    for (const FingerprintField& field : FingerprintFields())
        names.append(query.database().lacks(table, field.column)
                         ? QStringLiteral("cast(null as ") + SchemaColumnType(table, field.column) + u')'
                         : field.column);
    return names.join(u',');
}

void InsertFingerprint(TIBQuery& query, qint32 fileId, const Fingerprint& print, qint32 owner)
{
    Statement insert(QStringLiteral("insert into fingerprint (file_id,tab_id,") + FingerprintColumnNames()
                     + QStringLiteral(") values ("));
    appendOwner(insert.number(fileId).sql(u","), owner);
    for (const FingerprintField& field : FingerprintFields())
        insert.sql(u",").value(field.value(print));
    query.executeStatement(insert.sql(u")"));
}

Statement& AppendFingerprintCasts(Statement& statement, const Fingerprint& print)
{
    statement.sql(u",cast(");
    for (std::size_t i = 0; i < FingerprintFields().size(); ++i)
        statement.value(FingerprintFields()[i].value(print)).sql(castEnds()[qsizetype(i)]);
    return statement;
}

Fingerprint FingerprintFromRow(const TIBQuery& query, int first)
{
    Fingerprint print;
    for (const FingerprintField& field : FingerprintFields()) {
        const QVariant& value = query.field(first++);
        StoredValue stored;
        QByteArray bytes; // a text's or a blob's, while it is read
        if (!value.isNull()) {
            stored.null = false;
            if (value.typeId() == QMetaType::QString)
                stored.bytes = bytes = value.toString().toUtf8();
            else if (value.typeId() == QMetaType::QByteArray)
                stored.bytes = bytes = value.toByteArray();
            else
                stored.number = value.toLongLong();
        }
        field.read(print, stored);
    }
    return print;
}

bool HoldsBlob(const RowCursor& cursor, int first)
{
    for (int column = first; column < first + int(FingerprintFields().size()); ++column)
        if (cursor.isBlob(column) && !cursor.isNull(column))
            return true;
    return false;
}

Fingerprint FingerprintFromCursor(const RowCursor& cursor, int first)
{
    Fingerprint print;
    for (const FingerprintField& field : FingerprintFields())
        field.read(print, cursor.value(first++));
    return print;
}
