#include "rows/delete_file_rows.h"

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
    const qint64 step = std::max<qint64>(1, (total + kSteps - 1) / kSteps);
    for (const bool rows : {false, true}) {
        qint64 done = 0;
        // Each run of consecutive ids is deleted a step at a time: "rows"
        // ends each statement's pass through the table once it has deleted
        // as many, where a narrower range would be one more whole pass.
        for (std::size_t first = 0; first < ids.size();) {
            std::size_t last = first;
            while (last + 1 < ids.size() && ids[last + 1] - ids[last] <= 1)
                ++last;
            for (qint64 left = qint64(last - first + 1); left > 0; left -= step) {
                Statement some(rows ? u"delete from table1 where id between " : u"delete from fingerprint where file_id between ");
                some.number(ids[first]).sql(u" and ").number(ids[last]);
                if (left > step)
                    some.sql(u" rows ").number(step);
                query.executeStatement(some);
                done += std::min(left, step);
                tell(rows ? total / 2 + done / 2 : done / 2);
            }
            first = last + 1;
        }
    }
    tell(total);
}

void DeleteFingerprintsFrom(TIBQuery& query, qint32 first)
{
    query.executeStatement(Statement(u"delete from fingerprint where file_id >= ").number(first));
}

void DeleteFileRowsNamed(TIBQuery& query, const std::vector<qint32>& ids)
{
    // The engine takes at most 1,500 values in a list.
    constexpr std::size_t kList = 1000;
    for (std::size_t from = 0; from < ids.size(); from += kList) {
        const std::size_t to = std::min(ids.size(), from + kList);
        for (const bool rows : {false, true}) {
            Statement some(rows ? u"delete from table1 where id in (" : u"delete from fingerprint where file_id in (");
            for (std::size_t i = from; i < to; ++i)
                (i == from ? some : some.sql(u",")).number(ids[i]);
            query.executeStatement(some.sql(u")"));
        }
    }
}
