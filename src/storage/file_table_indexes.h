#pragma once

#include <QStringList>

class TIBDatabase;
class TIBQuery;

// Databases made by earlier versions carry indexes on table1 and table2,
// which cost every row written and again when rows were cleared away, while
// nothing reads the file tables through them but the per-file statements.

// The names of the indexes of table1 and table2 (query runs in the open
// transaction).
QStringList FileTableIndexes(TIBQuery& query);

// Drops the named indexes in a transaction of its own on database's
// connection, one that does not wait for locks: false, with nothing changed,
// when another connection is using them (a statement prepared on them, or
// rows written through them since it connected) or the engine refuses for any
// other reason.
bool DropIndexes(TIBDatabase& database, const QStringList& names);
