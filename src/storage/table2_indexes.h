#pragma once

#include <QStringList>

class TIBDatabase;
class TIBQuery;

// Databases made by earlier versions carry indexes on table2, which every
// check paid for on each row written and again when its rows were cleared
// away, while nothing reads table2 through them but the per-file statements.

// The names of table2's own indexes (query runs in the open transaction).
QStringList Table2Indexes(TIBQuery& query);

// Drops the named indexes in a transaction of its own on database's
// connection, one that does not wait for locks: false, with nothing changed,
// when another connection is using them (a statement prepared on them, or
// rows written into table2 since it connected) or the engine refuses for any
// other reason.
bool DropIndexes(TIBDatabase& database, const QStringList& names);
