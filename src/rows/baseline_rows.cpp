#include "rows/baseline_rows.h"

#include "common/file_name_codec.h"
#include "rows/check_rows.h"
#include "rows/directory_rows.h"
#include "rows/fingerprint_columns.h"
#include "rows/owned_rows.h"
#include "rows/registration.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"
#include "storage/row_cursor.h"

#include <QSet>

#include <algorithm>
#include <charconv>

namespace {

// The most values a statement lists: the engine compares each row with them
// one by one.
constexpr std::size_t kFewValues = 64;

constexpr qint64 kMeanwhileEvery = 256;

Statement selectRows()
{
    return Statement(u"select id,file_name,full_path,file_size,atr,crc1,crc2,data from table1 where ");
}

// Which rows a select gives to keep: all, or those of a directory and name
// keep is true of, both as the database holds them.
using KeepRow = std::function<bool(QByteArrayView dir, QByteArrayView name)>;

// The packed date-time: data is a text column, and a null or a text that is
// no number reads as 0.
qint32 packedDateTime(const StoredValue& data)
{
    qint32 value = 0;
    const char* end = data.bytes.data() + data.bytes.size();
    const auto [stop, error] = std::from_chars(data.bytes.data(), end, value);
    if (error == std::errc() && stop == end && !data.bytes.isEmpty())
        return value;
    return QString::fromUtf8(data.bytes).toInt();
}

// Reads the rows select (see selectRows) gives that keep takes; a row whose
// id is in seen already is left out, where seen is given.
void readRows(TIBQuery& query, const Statement& select, CheckRows& rows, const std::function<void()>& meanwhile,
              QSet<qint32>* seen = nullptr, const KeepRow& keep = {})
{
    qint64 count = 0;
    RowCursor cursor(query, select);
    while (cursor.next()) {
        const qint32 id = qint32(cursor.integer(0));
        if (seen && seen->contains(id))
            continue;
        const QByteArrayView path = cursor.value(2).bytes, file = cursor.value(1).bytes;
        if (keep && !keep(path, file))
            continue;
        if (seen)
            seen->insert(id);
        rows.appendStored(path, file, cursor.integer(3), cursor.value(4).bytes, qint32(cursor.integer(5)),
                          qint32(cursor.integer(6)), id, packedDateTime(cursor.value(7)));
        if (++count % kMeanwhileEvery == 0 && meanwhile)
            meanwhile();
    }
}

void readFingerprints(TIBQuery& query, const Statement& statement,
                      const std::vector<std::pair<qint32, quint32>>& byId, CheckRows& rows,
                      const std::function<void()>& meanwhile)
{
    const auto rowsOf = [&](qint32 fileId) {
        auto at = std::lower_bound(byId.begin(), byId.end(), std::pair(fileId, quint32(0)));
        return at != byId.end() && at->first == fileId ? at : byId.end();
    };
    const auto give = [&](auto at, const Fingerprint& print, qint32 owner) {
        for (const qint32 fileId = at->first; at != byId.end() && at->first == fileId; ++at)
            rows.setPrint(at->second, print, owner);
    };
    qint64 count = 0;
    QStringList blobColumns; // those that hold bytes in some row, read apart
    {
        RowCursor cursor(query, statement);
        while (cursor.next()) {
            if (++count % kMeanwhileEvery == 0 && meanwhile)
                meanwhile();
            const auto at = rowsOf(qint32(cursor.integer(0)));
            if (at == byId.end())
                continue;
            if (HoldsBlob(cursor, 2)) {
                for (std::size_t field = 0; field < FingerprintFields().size(); ++field)
                    if (!cursor.isNull(2 + int(field)) && cursor.isBlob(2 + int(field))
                        && !blobColumns.contains(FingerprintFields()[field].column))
                        blobColumns.append(FingerprintFields()[field].column);
                continue;
            }
            give(at, FingerprintFromCursor(cursor, 2), cursor.isNull(1) ? 0 : qint32(cursor.integer(1)));
        }
    }
    if (blobColumns.isEmpty())
        return;
    // Few rows hold a link's text or extended attributes: they are read
    // again, blobs and all, through the query.
    Statement holding = statement;
    holding.sql(QStringLiteral(" and (") + blobColumns.join(QStringLiteral(" is not null or "))
                + QStringLiteral(" is not null)"));
    ForEachRow(query, holding, [&] {
        const auto at = rowsOf(query.fieldAsInteger(0));
        if (at != byId.end())
            give(at, FingerprintFromRow(query, 2), query.field(1).isNull() ? 0 : query.fieldAsInteger(1));
    });
}

// Gives each row its fingerprint and owner, read in one pass through the
// fingerprints of the rows' range of ids, or, byList for a few rows, through
// the list of their ids; a row without one keeps none.
void attachFingerprints(TIBQuery& query, CheckRows& rows, bool byList, const std::function<void()>& meanwhile = {},
                        QStringView also = {})
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
    // The engine compares a row with a list's values one by one: past a few,
    // one pass through the range of ids, sorting the rows out here, is
    // cheaper.
    if (!byList || byId.size() > kFewValues) {
        statements.push_back(Statement(select + QStringLiteral("between "))
                                 .number(byId.front().first)
                                 .sql(u" and ")
                                 .number(byId.back().first));
    } else {
        Statement in(select + QStringLiteral("in ("));
        for (std::size_t i = 0; i < byId.size(); ++i)
            (i == 0 ? in : in.sql(u",")).number(byId[i].first);
        statements.push_back(std::move(in.sql(u")")));
    }
    for (Statement& statement : statements)
        readFingerprints(query, statement.sql(also), byId, rows, meanwhile);
}

// Which rows BaselineNames picks, by their directory's and name's bytes.
class NamesPicked {
public:
    explicit NamesPicked(const BaselineNames& names)
    {
        const auto encoded = [](const QStringList& texts) {
            QSet<QByteArray> set;
            for (const QString& text : texts)
                set.insert(EncodeFileName(text));
            return set;
        };
        m_anywhere = encoded(names.anywhere);
        for (auto place = names.at.begin(); place != names.at.end(); ++place)
            m_at.insert(EncodeFileName(place.key()), encoded(place.value()));
        for (const QString& tree : names.trees)
            m_trees.append(EncodeFileName(tree));
    }

    // Whether names picks the file by its name.
    bool named(QByteArrayView dir, QByteArrayView name) const
    {
        // Looked up in place, without a copy of the row's bytes.
        const QByteArray file = QByteArray::fromRawData(name.data(), name.size());
        if (m_anywhere.contains(file))
            return true;
        const auto place = m_at.constFind(QByteArray::fromRawData(dir.data(), dir.size()));
        return place != m_at.constEnd() && place->contains(file);
    }

    // Whether names picks it by a directory it is in (see AppendDirectoryRows).
    bool inTree(QByteArrayView dir) const
    {
        for (const QByteArray& tree : m_trees)
            if (tree == "/" ? dir.startsWith("/")
                            : dir == tree || (dir.startsWith(tree) && dir.size() > tree.size() && dir[tree.size()] == '/'))
                return true;
        return false;
    }

private:
    QSet<QByteArray> m_anywhere;
    QHash<QByteArray, QSet<QByteArray>> m_at;
    QList<QByteArray> m_trees;
};

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
    // The file tables have no index: every statement reads through all of
    // table1. A few names are picked by a list; more, by reading the
    // registration's rows and sorting them out here.
    const std::function<void()> none;
    QSet<qint32> seen;
    for (qsizetype i = 0; i < rows.size(); ++i)
        seen.insert(rows[i].id);
    const NamesPicked picked(names);
    const KeepRow wanted = [&](QByteArrayView dir, QByteArrayView name) { return picked.named(dir, name); };
    QStringList named = names.anywhere;
    for (auto at = names.at.begin(); at != names.at.end(); ++at)
        named += at.value();
    named.removeDuplicates();
    if (named.size() <= qsizetype(kFewValues)) {
        Statement select = selectRows().sql(u"file_name in (");
        for (qsizetype i = 0; i < named.size(); ++i)
            (i == 0 ? select : select.sql(u",")).quoted(named[i]);
        if (!named.isEmpty())
            readRows(query, AppendDirectoryRows(select.sql(u") and "), registration.dir), rows, none, &seen, wanted);
    } else {
        Statement select = selectRows();
        readRows(query, AppendDirectoryRows(select, registration.dir), rows, none, &seen, wanted);
    }
    for (qsizetype from = 0; from < names.trees.size(); from += qsizetype(kFewValues)) {
        Statement select = selectRows().sql(u"(");
        for (qsizetype i = from; i < std::min(names.trees.size(), from + qsizetype(kFewValues)); ++i)
            AppendDirectoryRows(i == from ? select : select.sql(u" or "), names.trees[i]);
        readRows(query, select.sql(u")"), rows, none, &seen);
    }
    attachFingerprints(query, rows, true);
    const qint32 owner = OwnsRows(query, registration.id) ? registration.id : 0;
    rows.keepOnly([&](const CheckRow& row) { return row.owner == owner; });
}

void ReadRowsWrittenNow(TIBQuery& query, const Registration& registration, CheckRows& rows)
{
    // A row's version is the number of the transaction that wrote it.
    constexpr QStringView writtenNow = u" and rdb$record_version=current_transaction";
    Statement select = selectRows();
    readRows(query, AppendDirectoryRows(select, registration.dir).sql(writtenNow), rows, {});
    attachFingerprints(query, rows, true, {}, writtenNow);
}

void PickBaselineRowsNamed(const CheckRows& from, const BaselineNames& names, CheckRows& rows)
{
    QSet<qint32> seen;
    for (qsizetype i = 0; i < rows.size(); ++i)
        seen.insert(rows[i].id);
    const NamesPicked picked(names);
    for (qsizetype i = 0; i < from.size(); ++i) {
        const CheckRow& row = from[i];
        const QByteArray& dir = from.directories().path(row.dir);
        if ((picked.named(dir, from.name(row)) || picked.inTree(dir)) && !seen.contains(row.id)) {
            seen.insert(row.id);
            rows.appendCopy(from, row);
        }
    }
}
