#include "rows/directory_prints.h"

#include "common/file_name_codec.h"
#include "rows/fingerprint_columns.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

DirectoryPrints ReadDirectoryPrints(TIBQuery& query, qint32 registration)
{
    if (query.database().lacks(QStringLiteral("directory_print")))
        return {};
    // The path as a blob, which comes back byte for byte, whatever its bytes.
    DirectoryPrints found;
    ForEachRow(query,
               Statement(QStringLiteral("select cast(full_path as blob sub_type binary),")
                         + FingerprintSelectList(query, QStringLiteral("directory_print"))
                         + QStringLiteral(" from directory_print where tab_id="))
                   .number(registration),
               [&] { found.push_back({DecodeFileName(query.field(0).toByteArray()), FingerprintFromRow(query, 1)}); });
    return found;
}

void DeleteDirectoryPrints(TIBQuery& query, qint32 registration)
{
    query.executeStatement(Statement(u"delete from directory_print where tab_id=").number(registration));
}

void DeleteDirectoryPrint(TIBQuery& query, qint32 registration, const QString& path)
{
    query.executeStatement(
        Statement(u"delete from directory_print where tab_id=").number(registration).sql(u" and full_path=").quoted(path));
}

bool RecordedDirectory(TIBQuery& query, qint32 registration, const QString& path)
{
    if (query.database().lacks(QStringLiteral("directory_print")))
        return false;
    // tab_id equals a number in the row found: a value is a row.
    return Scalar(query, Statement(u"select first 1 tab_id from directory_print where tab_id=")
                             .number(registration)
                             .sql(u" and full_path=")
                             .quoted(path))
        .has_value();
}
