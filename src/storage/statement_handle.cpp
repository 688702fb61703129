#include "storage/statement_handle.h"

#include "storage/described_sqlda.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>

#include <ibase.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

namespace {

bool handleOf(const QSqlQuery& query, isc_stmt_handle& handle)
{
    const QVariant value = query.result()->handle();
    if (value.metaType() != QMetaType::fromType<isc_stmt_handle>())
        return false;
    handle = value.value<isc_stmt_handle>();
    return handle != 0;
}

// QSqlResult keeps its bound values behind a protected accessor; a pointer to
// that member, taken in a class of its own that derives from it, reaches it.
struct BoundValuesAccess : QSqlResult {
    static QVariantList& of(const QSqlResult* result) { return (result->*&BoundValuesAccess::boundValues)(); }
};

} // namespace

unsigned int StatementHandleOf(const QSqlQuery& query)
{
    isc_stmt_handle handle;
    return handleOf(query, handle) ? handle : 0;
}

QSqlError StatusVectorError(const QString& driverText, const intptr_t* status)
{
    static_assert(std::is_same_v<ISC_STATUS, intptr_t>);
    QString text;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!text.isEmpty())
            text += u' ';
        text += QString::fromLocal8Bit(buffer);
    }
    return QSqlError(driverText, text, QSqlError::StatementError, QString::number(isc_sqlcode(status)));
}

std::vector<int> TextParameterBytes(const QSqlQuery& query)
{
    isc_stmt_handle handle;
    if (!handleOf(query, handle))
        return {};
    ISC_STATUS_ARRAY status{};
    const Sqlda sqlda = DescribedSqlda(handle, Described::Parameters, status);
    if (!sqlda)
        return {};
    std::vector<int> bytes;
    for (short i = 0; i < sqlda->sqld; ++i) {
        const XSQLVAR& var = sqlda->sqlvar[i];
        const int type = var.sqltype & ~1;
        bytes.push_back(type == SQL_VARYING || type == SQL_TEXT ? var.sqllen : -1);
    }
    return bytes;
}

static_assert(std::is_same_v<CursorlessStatement, isc_stmt_handle>);

CursorlessStatement CursorlessHandle(const QSqlQuery& query)
{
    static const bool verified = [] {
        char version[128] = {};
        isc_get_client_version(version); // "LI-V6.3.11.33637 Firebird 3.0"
        return std::strstr(version, " Firebird 3.") != nullptr;
    }();
    isc_stmt_handle handle;
    if (!verified || query.isSelect() || !handleOf(query, handle))
        return 0;
    return handle;
}

void PrepareCursorlessRun(CursorlessStatement statement)
{
    if (statement == 0)
        return;
    ISC_STATUS_ARRAY status{};
    isc_dsql_execute2_m(status, nullptr, &statement, 0, nullptr, static_cast<unsigned short>(-1), 0, nullptr, 0,
                        nullptr, 0, 0, nullptr);
}

QVariantList& BoundValues(const QSqlQuery& query)
{
    return BoundValuesAccess::of(query.result());
}
