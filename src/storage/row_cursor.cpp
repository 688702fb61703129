#include "storage/row_cursor.h"

#include "storage/database_error.h"
#include "storage/described_sqlda.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"
#include "storage/statement_handle.h"

#include <QSqlError>

#include <ibase.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// What a value that is neither a number nor a text is asked for as: its text,
// which the engine makes.
constexpr short kOtherAsText = 64;

} // namespace

struct RowCursor::Buffers {
    Sqlda sqlda;
    std::vector<char> data;
    std::vector<short> nulls;
};

RowCursor::RowCursor(TIBQuery& query, const Statement& select)
    : m_query(query), m_statement(query.openForCursor(select)), m_buffers(std::make_unique<Buffers>())
{
    ISC_STATUS_ARRAY status{};
    isc_stmt_handle handle = m_statement;
    Sqlda sqlda = DescribedSqlda(handle, Described::Columns, status);
    if (!sqlda) {
        m_query.close();
        throw EDatabaseError::fromSql(StatusVectorError(QStringLiteral("Unable to describe the query"), status),
                                      m_query.database().shownName());
    }
    // Every number is asked for as 64 bits, and every value may be null, so
    // that a value is read one way whatever its column's declared type.
    std::vector<std::size_t> offsets;
    std::size_t size = 0;
    for (short i = 0; i < sqlda->sqld; ++i) {
        XSQLVAR& var = sqlda->sqlvar[i];
        switch (var.sqltype & ~1) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
        case SQL_BOOLEAN:
            var.sqltype = SQL_INT64 | 1;
            var.sqllen = sizeof(ISC_INT64);
            break;
        case SQL_VARYING:
        case SQL_TEXT:
        case SQL_BLOB:
            var.sqltype |= 1;
            break;
        default:
            var.sqltype = SQL_VARYING | 1;
            var.sqllen = kOtherAsText;
            var.sqlscale = 0;
            break;
        }
        offsets.push_back(size);
        const std::size_t bytes = std::size_t(var.sqllen) + ((var.sqltype & ~1) == SQL_VARYING ? sizeof(short) : 0);
        size += (bytes + 7) & ~std::size_t(7);
    }
    m_buffers->data.resize(size);
    m_buffers->nulls.resize(std::size_t(sqlda->sqld));
    for (short i = 0; i < sqlda->sqld; ++i) {
        sqlda->sqlvar[i].sqldata = m_buffers->data.data() + offsets[std::size_t(i)];
        sqlda->sqlvar[i].sqlind = &m_buffers->nulls[std::size_t(i)];
    }
    m_buffers->sqlda = std::move(sqlda);
}

RowCursor::~RowCursor()
{
    m_query.close();
}

bool RowCursor::next()
{
    ISC_STATUS_ARRAY status{};
    isc_stmt_handle handle = m_statement;
    const ISC_STATUS result = isc_dsql_fetch(status, &handle, SQL_DIALECT_V6, m_buffers->sqlda.get());
    if (result == 100)
        return false;
    if (result != 0) {
        m_query.close();
        throw EDatabaseError::fromSql(StatusVectorError(QStringLiteral("Could not fetch next item"), status),
                                      m_query.database().shownName());
    }
    return true;
}

int RowCursor::columns() const
{
    return m_buffers->sqlda->sqld;
}

bool RowCursor::isNull(int column) const
{
    return m_buffers->nulls[std::size_t(column)] != 0;
}

bool RowCursor::isBlob(int column) const
{
    return (m_buffers->sqlda->sqlvar[column].sqltype & ~1) == SQL_BLOB;
}

StoredValue RowCursor::value(int column) const
{
    StoredValue value;
    if (isNull(column))
        return value;
    value.null = false;
    const XSQLVAR& var = m_buffers->sqlda->sqlvar[column];
    switch (var.sqltype & ~1) {
    case SQL_INT64:
        std::memcpy(&value.number, var.sqldata, sizeof value.number);
        break;
    case SQL_VARYING: {
        unsigned short length = 0;
        std::memcpy(&length, var.sqldata, sizeof length);
        value.bytes = QByteArrayView(var.sqldata + sizeof length, length);
        break;
    }
    case SQL_TEXT:
        value.bytes = QByteArrayView(var.sqldata, var.sqllen);
        break;
    default: // a blob: its bytes are not here
        break;
    }
    return value;
}

qint64 RowCursor::integer(int column) const
{
    const StoredValue stored = value(column);
    if (stored.null || !stored.bytes.isEmpty()) {
        const XSQLVAR& var = m_buffers->sqlda->sqlvar[column];
        throw EDatabaseError(QStringLiteral("Значение поля «%1» не является целым числом: «%2»")
                                 .arg(QString::fromLatin1(var.aliasname, var.aliasname_length),
                                      QString::fromUtf8(stored.bytes)));
    }
    return stored.number;
}
