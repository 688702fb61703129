#include "storage/described_sqlda.h"

namespace {

Sqlda makeSqlda(short count)
{
    Sqlda sqlda(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(count))));
    if (sqlda) {
        sqlda->version = SQLDA_VERSION1;
        sqlda->sqln = count;
    }
    return sqlda;
}

} // namespace

Sqlda DescribedSqlda(isc_stmt_handle statement, Described what, ISC_STATUS* status)
{
    const auto describe = [&](XSQLDA* sqlda) {
        return (what == Described::Parameters ? isc_dsql_describe_bind(status, &statement, SQL_DIALECT_V6, sqlda)
                                              : isc_dsql_describe(status, &statement, SQL_DIALECT_V6, sqlda))
            == 0;
    };
    // Most statements have few: described again only when they need more room.
    Sqlda sqlda = makeSqlda(16);
    if (!sqlda || !describe(sqlda.get()))
        return nullptr;
    if (sqlda->sqld > sqlda->sqln) {
        sqlda = makeSqlda(sqlda->sqld);
        if (!sqlda || !describe(sqlda.get()))
            return nullptr;
    }
    return sqlda;
}
