#pragma once

#include "scan/fingerprint_fields.h"

#include <QString>
#include <QVariant>

class RowCursor;
class Statement;
class TIBQuery;

// The statements' parts for the columns of the fingerprint and
// directory_print tables that hold a Fingerprint, one per field of
// FingerprintFields(). The fingerprint table's other two columns are the file
// row's own: file_id, the id of the table1 row it belongs to, and tab_id, the
// registration that owns the row (null for none, in rows written before
// registrations owned them).
//
// "mode,owner_id,...": the columns' names, for a select or an insert.
QString FingerprintColumnNames();

// The same for a select from table (fingerprint or directory_print) through
// query, with a typed null for each column the database lacks (see
// TIBDatabase::lacks).
QString FingerprintSelectList(const TIBQuery& query, const QString& table);

// Adds the fingerprint row of the table1 row fileId, owned by the registration
// owner (0 for none), through query.
void InsertFingerprint(TIBQuery& query, qint32 fileId, const Fingerprint& print, qint32 owner);

// Appends ",cast(v as type)" for each column's value of print: a row of an
// "insert ... select ... union all select ..." batch.
Statement& AppendFingerprintCasts(Statement& statement, const Fingerprint& print);

// The fingerprint in the current row of query, whose columns from first on are
// FingerprintColumnNames().
Fingerprint FingerprintFromRow(const TIBQuery& query, int first);

// The same in the current row of cursor, where the row does not HoldsBlob():
// a blob's bytes are read through a TIBQuery.
Fingerprint FingerprintFromCursor(const RowCursor& cursor, int first);
// Whether a column of the fingerprint from first on is a blob that is not
// null in the cursor's current row.
bool HoldsBlob(const RowCursor& cursor, int first);
