#pragma once

#include <QVariantList>
#include <cstdint>
#include <vector>

class QSqlQuery;
class QSqlError;

// Calls on the client library's handle of a statement that Qt's driver has
// prepared, for what the driver does not offer or does at too high a price.

// The client library's handle of the statement query has prepared (its
// isc_stmt_handle); 0 when the driver gives none.
unsigned int StatementHandleOf(const QSqlQuery& query);

// The error the client library's status vector (an ISC_STATUS array) holds,
// as the driver would report it: the engine's text and its SQLCODE.
QSqlError StatusVectorError(const QString& driverText, const intptr_t* status);

// The most bytes each parameter takes when it is a text; -1 for the others.
// The driver cuts a longer text to this length without a word, so the caller
// must refuse one.
std::vector<int> TextParameterBytes(const QSqlQuery& query);

// Every run of a statement through the driver first closes its cursor. For a
// statement that has none (insert, delete) the library answers with an error
// that the driver then looks up in the message file and throws away: six
// system calls and an exception inside the library for every row written.
// Marking the statement open in the way the library keeps for old embedded
// SQL programs (a run with message type -1, which only sets that mark) lets
// the close succeed quietly. Done only with the client library this was
// verified on; other versions take the slower way.
//
// CursorlessHandle() is the statement's handle when its runs are to be
// prepared so, 0 otherwise; it is found once, after the statement is prepared.
using CursorlessStatement = unsigned int; // the library's isc_stmt_handle
CursorlessStatement CursorlessHandle(const QSqlQuery& query);
void PrepareCursorlessRun(CursorlessStatement statement);

// The values bound to a prepared statement, as the driver reads them when it
// runs. Binding through QSqlQuery::bindValue() also keeps, for every value, a
// placeholder name it formats anew and a table entry, which costs more than
// the value itself for statements run thousands of times; once every position
// has been bound so, putting the values here means the same at a fraction of
// the cost.
QVariantList& BoundValues(const QSqlQuery& query);
