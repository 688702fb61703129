#include "storage/delete_directory_rows.h"

#include "storage/directory_rows.h"
#include "storage/fingerprint_table.h"
#include "storage/ib_query.h"

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 kSteps = 8;

// The ids of dir's rows, ascending.
std::vector<qint32> rowIds(TIBQuery& query, const QString& dir)
{
    std::vector<qint32> ids;
    Statement select(u"select id from table1 where ");
    query.openStatement(AppendDirectoryRows(select, dir));
    if (query.hasRow()) {
        const int id = query.fieldIndex(QStringLiteral("id"));
        do
            if (!query.field(id).isNull())
                ids.push_back(query.fieldAsInteger(id));
        while (query.next());
    }
    query.close();
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

qint64 DeleteDirectoryRows(TIBQuery& query, const QString& dir, const std::function<void(qint64, qint64)>& deleted)
{
    const auto tell = [&](qint64 done, qint64 total) {
        if (deleted)
            deleted(done, total);
    };
    Statement count(u"select count(*) from table1 where ");
    query.openStatement(AppendDirectoryRows(count, dir));
    const qint64 total = query.fieldAsInteger(QStringLiteral("count"));
    tell(0, total);
    if (total == 0)
        return 0;
    // The work goes in a few steps, so that progress moves and a stop is
    // honoured on the way, each a set statement: half of it the
    // fingerprints, half the rows.
    const qint32 step = qint32(std::max<qint64>(1, (total + kSteps - 1) / kSteps));
    qint64 done = 0;
    if (HasFingerprintTable(query)) {
        // A walk gives its rows consecutive ids, so a directory's rows lie in
        // a few runs of ids: one pass through the table for each.
        const std::vector<qint32> ids = rowIds(query, dir);
        for (std::size_t first = 0; first < ids.size();) {
            std::size_t last = first;
            while (last + 1 < ids.size() && last + 1 - first < std::size_t(step) && ids[last + 1] - ids[last] <= 1)
                ++last;
            query.executeStatement(Statement(u"delete from fingerprint where file_id between ")
                                       .number(ids[first])
                                       .sql(u" and ")
                                       .number(ids[last]));
            done += qint64(last - first + 1);
            tell(done / 2, total);
            first = last + 1;
        }
    }
    for (qint64 rows = 0; rows < total; rows += step) {
        Statement some(u"delete from table1 where ");
        AppendDirectoryRows(some, dir);
        // The last one takes whatever is left.
        if (rows + step < total)
            some.sql(u" rows ").number(step);
        query.executeStatement(some);
        tell(total / 2 + std::min(total, rows + step) / 2, total);
    }
    return total;
}

void DeleteFingerprintsFrom(TIBQuery& query, qint32 first)
{
    query.executeStatement(Statement(u"delete from fingerprint where file_id >= ").number(first));
}
