#pragma once

#include <ibase.h>

#include <cstdlib>
#include <memory>

// An XSQLDA the client library describes a prepared statement into, with room
// for every column.
struct FreeSqlda {
    void operator()(XSQLDA* sqlda) const { std::free(sqlda); }
};
using Sqlda = std::unique_ptr<XSQLDA, FreeSqlda>;

// What the statement takes or gives (Parameters: isc_dsql_describe_bind;
// Columns: isc_dsql_describe); none, with status saying why where the
// library refused, when it cannot be described.
enum class Described { Parameters, Columns };
Sqlda DescribedSqlda(isc_stmt_handle statement, Described what, ISC_STATUS* status);
