#include "storage/owned_rows.h"

#include "storage/directory_rows.h"
#include "storage/fingerprint_table.h"
#include "storage/ib_query.h"

#include <algorithm>

bool OwnedRows::owns(qint32 registration) const
{
    return std::find(owners.begin(), owners.end(), registration) != owners.end();
}

std::vector<qint32> OwnedRows::of(qint32 registration) const
{
    const qint32 owner = owns(registration) ? registration : 0;
    std::vector<qint32> rows;
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (owners[i] == owner)
            rows.push_back(ids[i]);
    return rows;
}

OwnedRows ReadOwnedRows(TIBQuery& query, const QString& dir)
{
    OwnedRows rows;
    Statement select(u"select id from table1 where ");
    query.openStatement(AppendDirectoryRows(select, dir));
    if (query.hasRow()) {
        do
            if (!query.field(0).isNull())
                rows.ids.push_back(query.fieldAsInteger(0));
        while (query.next());
    }
    query.close();
    std::sort(rows.ids.begin(), rows.ids.end());
    rows.owners.assign(rows.ids.size(), 0);
    if (rows.ids.empty() || !HasFingerprintTable(query))
        return rows;
    // The owners, in one pass through the fingerprints of the ids' range.
    query.openStatement(Statement(u"select file_id, tab_id from fingerprint where tab_id is not null and file_id between ")
                            .number(rows.ids.front())
                            .sql(u" and ")
                            .number(rows.ids.back()));
    if (query.hasRow()) {
        do {
            const qint32 id = query.fieldAsInteger(0);
            const auto at = std::lower_bound(rows.ids.begin(), rows.ids.end(), id);
            if (at != rows.ids.end() && *at == id)
                rows.owners[std::size_t(at - rows.ids.begin())] = query.fieldAsInteger(1);
        } while (query.next());
    }
    query.close();
    return rows;
}
