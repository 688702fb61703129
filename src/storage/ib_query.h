#pragma once

#include "storage/statement.h"
#include "storage/statement_handle.h"

#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QSqlQuery;
class TIBDatabase;
class TIBTransaction;

// A query object: a statement text, and the result it is open on.
//
// Every statement is run in one idiom: close, clear the statement text, add the
// statement as one line, then open it (it returns rows) or execute it (it does
// not); openStatement() and executeStatement() do exactly that.
//
// An open query stands on its first row, if there is one; next() moves on and
// stays on the last row when there is no further one. Columns are read by name
// without regard to letter case; a result without rows reads as null. Errors of
// the database raise EDatabaseError and leave the query closed.
//
// Each statement shape is prepared once per transaction and re-run with new
// values (see Statement).
class TIBQuery {
public:
    TIBQuery(TIBDatabase& database, TIBTransaction& transaction);
    ~TIBQuery();
    const TIBDatabase& database() const { return m_database; }
    TIBQuery(const TIBQuery&) = delete;
    TIBQuery& operator=(const TIBQuery&) = delete;

    void close();
    void clearSql() { m_sql = Statement(); }
    void addSql(const Statement& statement);
    const Statement& sql() const { return m_sql; }

    void open();
    void execSql();
    // Moves to the next row; false, staying on the last row, when there is none.
    bool next();
    bool active() const { return m_active; }
    // Whether the open result has a row to stand on.
    bool hasRow() const { return m_hasRow; }

    // The column of the current row; null when the result has no rows or the
    // column is null. Raises when the query is closed or has no such column.
    QVariant fieldByName(const QString& name) const;
    // The column as a signed 32-bit integer, as text, or null-aware.
    qint32 fieldAsInteger(const QString& name) const;
    // The column as a signed 64-bit integer: a bigint, or a narrower integer
    // column's value widened.
    qint64 fieldAsLargeInt(const QString& name) const;
    QString fieldAsString(const QString& name) const;
    bool fieldIsNull(const QString& name) const { return fieldByName(name).isNull(); }

    // The same by the column's position, found once with fieldIndex(), for
    // reading many rows of one result.
    int fieldIndex(const QString& name) const;
    // Whether the open result has a column of that name.
    bool hasField(const QString& name) const { return m_active && m_columns.indexOf(name) >= 0; }
    const QVariant& field(int index) const;
    qint32 fieldAsInteger(int index) const;
    qint64 fieldAsLargeInt(int index) const;

    void openStatement(const Statement& statement);
    void executeStatement(const Statement& statement);
    // Runs a select and reads none of its rows: a RowCursor reads them from
    // the client library itself. The query stays open, standing on no row,
    // until closed. Returns the client library's handle of the statement.
    unsigned int openForCursor(const Statement& statement);

    // Gives up every prepared statement (they end with the transaction).
    void releaseStatements();

    // How many times a statement of this query was prepared (for tests).
    int prepareCount() const { return m_prepareCount; }

private:
    struct Prepared {
        std::unique_ptr<QSqlQuery> query;
        std::vector<int> textBytes; // see TextParameterBytes
        CursorlessStatement cursorless; // see CursorlessHandle
        std::optional<QSqlRecord> columns; // known after the first run
    };

    Prepared& prepared(const Statement& statement);
    void checkTextLengths(const Prepared& prepared) const;
    void run(bool returnsRows);
    // Binds the values of m_sql to its prepared statement and runs it.
    Prepared& start(bool returnsRows);
    // Moves query to its next row; raises when the row fails to be read.
    bool fetch(QSqlQuery& query);
    void keepRow();
    [[noreturn]] void fail(const QSqlQuery& query);

    TIBDatabase& m_database;
    TIBTransaction& m_transaction;
    Statement m_sql;
    std::unordered_map<QString, Prepared> m_prepared;
    // The entries of the last shapes run, most recent first; their nodes stay
    // where they are until the map is cleared.
    std::array<std::pair<const QString*, Prepared*>, 4> m_recent{};
    QSqlQuery* m_current = nullptr;
    QSqlRecord m_columns; // the names of the result's columns
    QVariantList m_row;   // the values of the current row
    bool m_active = false;
    bool m_hasRow = false;
    int m_prepareCount = 0;
};

// Opens statement on query, calls row() standing on each row it gives, in
// order, and leaves the query closed.
template <typename Row>
void ForEachRow(TIBQuery& query, const Statement& statement, Row&& row)
{
    query.openStatement(statement);
    for (bool more = query.hasRow(); more; more = query.next())
        row();
    query.close();
}

// The first column of the first row statement gives (select count(*), select
// max(id), select first 1 ...), read as fieldAsInteger reads it; none when it
// gives no row or a null. Leaves the query closed.
std::optional<qint32> Scalar(TIBQuery& query, const Statement& statement);
