#include "rows/baseline_rows.h"

#include "common/file_name_codec.h"
#include "rows/check_rows.h"
#include "rows/directory_rows.h"
#include "rows/fingerprint_columns.h"
#include "rows/owned_rows.h"
#include "rows/registration.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr qint64 kMeanwhileEvery = 256;

Statement selectRows()
{
    return Statement(u"select id,file_name,full_path,file_size,atr,crc1,crc2,data from table1 where ");
}

// Reads the rows select (see selectRows) gives; a row whose id is in seen
// already is left out, where seen is given.
void readRows(TIBQuery& query, const Statement& select, CheckRows& rows, const std::function<void()>& meanwhile,
              QSet<qint32>* seen = nullptr)
{
    query.openStatement(select);
    qint64 count = 0;
    // Rows whose names came back with bytes that are not UTF-8 replaced: the
    // database client hands texts over as UTF-8.
    std::vector<qsizetype> mangled;
    if (query.hasRow()) {
        do {
            if (seen) {
                const qint32 id = query.fieldAsInteger(0);
                if (seen->contains(id))
                    continue; // to the next row: a do's continue tests its condition
                seen->insert(id);
            }
            const QString path = query.field(2).toString(), file = query.field(1).toString();
            if (path.contains(QChar::ReplacementCharacter) || file.contains(QChar::ReplacementCharacter))
                mangled.push_back(rows.size());
            rows.append(path, file, query.fieldAsInteger(3), query.field(4).toString(), query.fieldAsInteger(5),
                        query.fieldAsInteger(6), nullptr, query.fieldAsInteger(0), query.field(7).toString().toInt());
            if (++count % kMeanwhileEvery == 0 && meanwhile)
                meanwhile();
        } while (query.next());
    }
    query.close();
    // Read again as bytes, through blobs, which come back as they are.
    for (const qsizetype at : mangled) {
        query.openStatement(Statement(u"select cast(full_path as blob sub_type binary),"
                                      u" cast(file_name as blob sub_type binary) from table1 where id=")
                                .number(rows[at].id));
        if (query.hasRow())
            rows.rename(at, DecodeFileName(query.field(0).toByteArray()), DecodeFileName(query.field(1).toByteArray()));
        query.close();
    }
}

void readFingerprints(TIBQuery& query, const Statement& statement,
                      const std::vector<std::pair<qint32, quint32>>& byId, CheckRows& rows,
                      const std::function<void()>& meanwhile)
{
    query.openStatement(statement);
    qint64 count = 0;
    if (query.hasRow()) {
        do {
            if (++count % kMeanwhileEvery == 0 && meanwhile)
                meanwhile();
            const qint32 fileId = query.fieldAsInteger(0);
            auto at = std::lower_bound(byId.begin(), byId.end(), std::pair(fileId, quint32(0)));
            if (at == byId.end() || at->first != fileId)
                continue;
            const Fingerprint print = FingerprintFromRow(query, 2);
            const qint32 owner = query.field(1).isNull() ? 0 : query.fieldAsInteger(1);
            for (; at != byId.end() && at->first == fileId; ++at)
                rows.setPrint(at->second, print, owner);
        } while (query.next());
    }
    query.close();
}

// Gives each row its fingerprint and owner, read in one pass through the
// fingerprints of the rows' range of ids, or, for a few rows scattered over
// a large table, through lists of their ids; a row without one keeps none.
void attachFingerprints(TIBQuery& query, CheckRows& rows, bool byList, const std::function<void()>& meanwhile = {})
{
    if (rows.isEmpty() || query.database().lacks(QStringLiteral("fingerprint")))
        return;
    std::vector<std::pair<qint32, quint32>> byId; // to look each fingerprint's row up in
    byId.reserve(std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i)
        byId.emplace_back(rows[i].id, quint32(i));
    std::sort(byId.begin(), byId.end());
    const QString owner = query.database().lacks(QStringLiteral("fingerprint"), QStringLiteral("tab_id"))
        ? QStringLiteral("cast(null as integer)")
        : QStringLiteral("tab_id");
    const QString select = QStringLiteral("select file_id,") + owner + u','
        + FingerprintSelectList(query, QStringLiteral("fingerprint")) + QStringLiteral(" from fingerprint where file_id ");
    std::vector<Statement> statements;
    if (!byList) {
        statements.push_back(Statement(select + QStringLiteral("between "))
                                 .number(byId.front().first)
                                 .sql(u" and ")
                                 .number(byId.back().first));
    } else {
        constexpr std::size_t kList = 1000; // the engine takes at most 1,500 values in one list
        for (std::size_t from = 0; from < byId.size(); from += kList) {
            Statement in(select + QStringLiteral("in ("));
            for (std::size_t i = from; i < std::min(byId.size(), from + kList); ++i)
                (i == from ? in : in.sql(u",")).number(byId[i].first);
            statements.push_back(std::move(in.sql(u")")));
        }
    }
    for (const Statement& statement : statements)
        readFingerprints(query, statement, byId, rows, meanwhile);
}

} // namespace

void ReadBaselineRows(TIBQuery& query, const Registration& registration, CheckRows& rows,
                      const std::function<void()>& meanwhile)
{
    Statement select = selectRows();
    readRows(query, AppendDirectoryRows(select, registration.dir), rows, meanwhile);
    attachFingerprints(query, rows, false, meanwhile);
    bool owns = false;
    for (qsizetype i = 0; i < rows.size() && !owns; ++i)
        owns = rows[i].owner == registration.id;
    const qint32 owner = owns ? registration.id : 0;
    rows.keepOnly([&](const CheckRow& row) { return row.owner == owner; });
}

void ReadBaselineRowsNamed(TIBQuery& query, const Registration& registration, const BaselineNames& names,
                           CheckRows& rows)
{
    const std::function<void()> none;
    QSet<qint32> seen;
    for (qsizetype i = 0; i < rows.size(); ++i)
        seen.insert(rows[i].id);
    constexpr qsizetype kList = 1000; // the engine takes at most 1,500 values in one list
    const auto byName = [&](const QStringList& list, const auto& where) {
        for (qsizetype from = 0; from < list.size(); from += kList) {
            Statement select = selectRows().sql(u"file_name in (");
            for (qsizetype i = from; i < std::min(list.size(), from + kList); ++i)
                (i == from ? select : select.sql(u",")).quoted(list[i]);
            where(select.sql(u") and "));
            readRows(query, select, rows, none, &seen);
        }
    };
    for (auto at = names.at.begin(); at != names.at.end(); ++at)
        byName(at.value(), [&](Statement& select) { select.sql(u"full_path=").quoted(at.key()); });
    byName(names.anywhere, [&](Statement& select) { AppendDirectoryRows(select, registration.dir); });
    for (const QString& tree : names.trees) {
        Statement select = selectRows();
        readRows(query, AppendDirectoryRows(select, tree), rows, none, &seen);
    }
    attachFingerprints(query, rows, true);
    const qint32 owner = OwnsRows(query, registration.id) ? registration.id : 0;
    rows.keepOnly([&](const CheckRow& row) { return row.owner == owner; });
}
