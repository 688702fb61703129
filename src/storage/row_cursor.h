#pragma once

#include "common/stored_value.h"

#include <memory>

class Statement;
class TIBQuery;

// The rows of a select read straight from the client library's buffers, for
// statements that give hundreds of thousands of rows: the query objects make
// a QVariant, and a QString of every text, for every value of every row,
// which costs more than the engine's reading them.
//
// A blob column tells only whether it is null: its bytes are read through a
// TIBQuery (see isBlob).
//
//     RowCursor rows(query, Statement(u"select id,file_name from table1"));
//     while (rows.next())
//         use(rows.value(0).number, rows.value(1).bytes);
class RowCursor {
public:
    // Opens select on query, which stays busy until the cursor is gone.
    RowCursor(TIBQuery& query, const Statement& select);
    ~RowCursor();
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;

    // Moves to the next row, the first at first; false when there is none.
    // Raises when a row fails to be read: rows left unread would read as
    // files gone.
    bool next();

    int columns() const;
    // The column of the current row; its bytes stay valid until next().
    StoredValue value(int column) const;
    bool isNull(int column) const;
    bool isBlob(int column) const;
    // The number in a column that must hold one; raises, as the query objects
    // do, when it is null.
    qint64 integer(int column) const;

private:
    struct Buffers;
    TIBQuery& m_query;
    unsigned int m_statement;
    std::unique_ptr<Buffers> m_buffers;
};
