#include "rows/owned_rows.h"

#include "rows/directory_rows.h"
#include "storage/ib_query.h"

#include <algorithm>

namespace {

// The first column of every row of statement, ascending.
std::vector<qint32> ids(TIBQuery& query, const Statement& statement)
{
    std::vector<qint32> found;
    ForEachRow(query, statement, [&] {
        if (!query.field(0).isNull())
            found.push_back(query.fieldAsInteger(0));
    });
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

bool OwnsRows(TIBQuery& query, qint32 registration)
{
    // The literal is never null: a value is a row.
    return Scalar(query, Statement(u"select first 1 1 from fingerprint where tab_id=").number(registration))
        .has_value();
}

std::vector<qint32> RegistrationRows(TIBQuery& query, qint32 registration, const QString& dir)
{
    if (OwnsRows(query, registration))
        return ids(query, Statement(u"select file_id from fingerprint where tab_id=").number(registration));
    Statement select(u"select id from table1 where ");
    std::vector<qint32> rows = ids(query, AppendDirectoryRows(select, dir));
    if (rows.empty())
        return rows;
    // Without the rows other registrations own, found in one pass through
    // the fingerprints of the ids' range.
    const std::vector<qint32> owned = ids(query, Statement(u"select file_id from fingerprint where tab_id is not null"
                                                           u" and file_id between ")
                                                     .number(rows.front())
                                                     .sql(u" and ")
                                                     .number(rows.back()));
    std::vector<qint32> unowned;
    std::set_difference(rows.begin(), rows.end(), owned.begin(), owned.end(), std::back_inserter(unowned));
    return unowned;
}
