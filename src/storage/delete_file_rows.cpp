#include "storage/delete_file_rows.h"

#include "storage/fingerprint_table.h"
#include "storage/ib_query.h"

#include <algorithm>

namespace {

constexpr qint64 kSteps = 8;

} // namespace

void DeleteFileRows(TIBQuery& query, const std::vector<qint32>& ids, const std::function<void(qint64, qint64)>& deleted)
{
    const qint64 total = qint64(ids.size());
    const auto tell = [&](qint64 done) {
        if (deleted)
            deleted(done, total);
    };
    tell(0);
    if (total == 0)
        return;
    // The work goes in a few steps, so that progress moves and a stop is
    // honoured on the way: half of it the fingerprints, half the rows.
    const std::size_t step = std::size_t(std::max<qint64>(1, (total + kSteps - 1) / kSteps));
    const bool prints = HasFingerprintTable(query);
    for (const char16_t* table : {u"fingerprint", u"table1"}) {
        const bool rows = table == std::u16string_view(u"table1");
        if (!rows && !prints)
            continue;
        qint64 done = 0;
        for (std::size_t first = 0; first < ids.size();) {
            std::size_t last = first;
            while (last + 1 < ids.size() && last + 1 - first < step && ids[last + 1] - ids[last] <= 1)
                ++last;
            query.executeStatement(Statement(u"delete from ")
                                       .sql(table)
                                       .sql(rows ? u" where id between " : u" where file_id between ")
                                       .number(ids[first])
                                       .sql(u" and ")
                                       .number(ids[last]));
            done += qint64(last - first + 1);
            tell(rows ? total / 2 + done / 2 : done / 2);
            first = last + 1;
        }
    }
    tell(total);
}

void DeleteFingerprintsFrom(TIBQuery& query, qint32 first)
{
    query.executeStatement(Statement(u"delete from fingerprint where file_id >= ").number(first));
}
