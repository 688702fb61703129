#pragma once

#include "scan/fingerprint.h"

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

class Statement;
class TIBQuery;

// The columns of the fingerprint table that hold a Fingerprint, each described
// once: every statement that writes or reads a fingerprint and every
// comparison of two go through this list, so a new field of Fingerprint is a
// new entry here and a column in schema.sql. The table's other two columns are
// the file row's own: file_id, the id of the table1 row it belongs to, and
// tab_id, the registration that owns the row (null for none, in rows written
// before registrations owned them).
struct FingerprintColumn {
    // What a difference in the column is a change of.
    enum Change { Attributes, Contents };

    QString name;
    Change change;
    // As the column holds it; a null text or byte array for SQL's null, so
    // that a statement's shape is the same whatever its values.
    QVariant (*value)(const Fingerprint&);
    void (*read)(Fingerprint&, const QVariant&);
    bool (*same)(const Fingerprint&, const Fingerprint&);
};

// In the order the fingerprint table declares them.
const std::vector<FingerprintColumn>& FingerprintColumns();

// Whether two fingerprints agree in every column of that change.
bool SameFingerprint(const Fingerprint& a, const Fingerprint& b, FingerprintColumn::Change change);

// "sha256,mode,...": the columns' names, for a select or an insert.
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
