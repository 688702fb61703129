#include "check/check_rows.h"

#include "scan/fingerprint_row.h"
#include "storage/ib_query.h"

#include <algorithm>
#include <vector>

QList<CheckRow> ReadCheckRows(TIBQuery& query, const Statement& statement, const std::function<void(qint64 read)>& read)
{
    QList<CheckRow> rows;
    query.openStatement(statement);
    const int name = query.fieldIndex(QStringLiteral("File_name"));
    const int path = query.fieldIndex(QStringLiteral("full_path"));
    const int size = query.fieldIndex(QStringLiteral("file_size"));
    const int atr = query.fieldIndex(QStringLiteral("atr"));
    const int crc1 = query.fieldIndex(QStringLiteral("crc1"));
    const int crc2 = query.fieldIndex(QStringLiteral("crc2"));
    const int id = query.hasField(QStringLiteral("id")) ? query.fieldIndex(QStringLiteral("id")) : -1;
    if (!query.hasRow()) {
        query.close();
        return rows;
    }
    do {
        CheckRow row;
        row.name = query.field(name).toString();
        row.path = query.field(path).toString();
        // Files of one directory come together: keeping one copy of its text
        // saves memory and makes later comparisons of it quick.
        if (!rows.isEmpty() && rows.constLast().path == row.path)
            row.path = rows.constLast().path;
        row.size = query.fieldAsInteger(size);
        row.atr = query.field(atr).toString();
        row.crc1 = query.fieldAsInteger(crc1);
        row.crc2 = query.fieldAsInteger(crc2);
        if (id >= 0)
            row.id = query.fieldAsInteger(id);
        rows.append(std::move(row));
        if (rows.size() % 256 == 0)
            read(rows.size());
    } while (query.next());
    read(rows.size());
    query.close();
    return rows;
}

void AttachFingerprints(TIBQuery& query, QList<CheckRow>& rows)
{
    if (rows.isEmpty())
        return;
    // The rows by id, to look each fingerprint's row up in.
    std::vector<std::pair<qint32, qsizetype>> byId;
    byId.reserve(std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        byId.emplace_back(rows[i].id, i);
    std::sort(byId.begin(), byId.end());
    query.openStatement(Statement(u"select file_id,sha256,mode,owner_id,group_id,link_target from fingerprint"
                                  u" where file_id between ")
                            .number(byId.front().first)
                            .sql(u" and ")
                            .number(byId.back().first));
    if (query.hasRow()) {
        do {
            const qint32 fileId = query.fieldAsInteger(0);
            auto at = std::lower_bound(byId.begin(), byId.end(), std::pair(fileId, qsizetype(0)));
            for (; at != byId.end() && at->first == fileId; ++at)
                rows[at->second].print =
                    FingerprintFromColumns(query.field(1), query.field(2), query.field(3), query.field(4), query.field(5));
        } while (query.next());
    }
    query.close();
}

bool ReturnedAsWritten(TIBQuery& query, qint64 count)
{
    query.openStatement(Statement(u"execute block returns (rows_read bigint, ascending smallint) as"
                                  u" declare id integer; declare previous integer;"
                                  u" begin rows_read = 0; ascending = 1;"
                                  u" for select id from table2 into :id do begin"
                                  u" if (id is null or (rows_read > 0 and id is distinct from previous + 1)) then ascending = 0;"
                                  u" previous = id; rows_read = rows_read + 1;"
                                  u" end suspend; end"));
    const bool yes = query.fieldAsInteger(QStringLiteral("ascending")) == 1
        && query.fieldByName(QStringLiteral("rows_read")).toLongLong() == count;
    query.close();
    return yes;
}

std::optional<QList<CheckRow>> InTableOrder(TIBQuery& query, QList<CheckRow> written,
                                            const std::function<void(qint64 read)>& read)
{
    std::vector<qint32> ids;
    ids.reserve(std::size_t(written.size()));
    query.openStatement(Statement(u"select id from table2"));
    if (query.hasRow()) {
        const int id = query.fieldIndex(QStringLiteral("id"));
        do {
            if (query.field(id).isNull())
                return std::nullopt;
            ids.push_back(query.fieldAsInteger(id));
            if (ids.size() % 256 == 0)
                read(qint64(ids.size()));
        } while (query.next());
    }
    query.close();
    read(qint64(ids.size()));
    if (qsizetype(ids.size()) != written.size())
        return std::nullopt;
    if (ids.empty())
        return QList<CheckRow>();

    // The written rows are all in table2, so as many ids as rows means no
    // others; each must still be one of theirs, and once.
    const qint32 first = *std::min_element(ids.cbegin(), ids.cend());
    std::vector<bool> taken(ids.size(), false);
    QList<CheckRow> ordered;
    ordered.reserve(written.size());
    for (qint32 id : ids) {
        const qint64 index = qint64(id) - first;
        if (index >= qint64(taken.size()) || taken[std::size_t(index)])
            return std::nullopt;
        taken[std::size_t(index)] = true;
        ordered.append(std::move(written[qsizetype(index)]));
    }
    return ordered;
}
