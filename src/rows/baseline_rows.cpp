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

// The most values a statement lists: the engine compares each row with them
// one by one.
constexpr std::size_t kFewValues = 64;

constexpr qint64 kMeanwhileEvery = 256;

Statement selectRows()
{
    return Statement(u"select id,file_name,full_path,file_size,atr,crc1,crc2,data from table1 where ");
}

// Which rows a select gives to keep: all, or those of a directory and name
// keep is true of.
using KeepRow = std::function<bool(const QString& dir, const QString& name)>;

// Reads the rows select (see selectRows) gives that keep takes; a row whose
// id is in seen already is left out, where seen is given.
void readRows(TIBQuery& query, const Statement& select, CheckRows& rows, const std::function<void()>& meanwhile,
              QSet<qint32>* seen = nullptr, const KeepRow& keep = {})
{
    qint64 count = 0;
    // Rows whose names came back with bytes that are not UTF-8 replaced: the
    // database client hands texts over as UTF-8.
    std::vector<qsizetype> mangled;
    ForEachRow(query, select, [&] {
        if (seen && seen->contains(query.fieldAsInteger(0)))
            return;
        const QString path = query.field(2).toString(), file = query.field(1).toString();
        const bool garbled = path.contains(QChar::ReplacementCharacter) || file.contains(QChar::ReplacementCharacter);
        // A garbled name is told only once read again as bytes: kept.
        if (keep && !garbled && !keep(path, file))
            return;
        if (seen)
            seen->insert(query.fieldAsInteger(0));
        if (garbled)
            mangled.push_back(rows.size());
        // data is a text column: a null or a text that is no number reads as 0.
        rows.append(path, file, query.fieldAsLargeInt(3), query.field(4).toString(), query.fieldAsInteger(5),
                    query.fieldAsInteger(6), nullptr, query.fieldAsInteger(0), query.field(7).toString().toInt());
        if (++count % kMeanwhileEvery == 0 && meanwhile)
            meanwhile();
    });
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
    qint64 count = 0;
    ForEachRow(query, statement, [&] {
        if (++count % kMeanwhileEvery == 0 && meanwhile)
            meanwhile();
        const qint32 fileId = query.fieldAsInteger(0);
        auto at = std::lower_bound(byId.begin(), byId.end(), std::pair(fileId, quint32(0)));
        if (at == byId.end() || at->first != fileId)
            return;
        const Fingerprint print = FingerprintFromRow(query, 2);
        const qint32 owner = query.field(1).isNull() ? 0 : query.fieldAsInteger(1);
        for (; at != byId.end() && at->first == fileId; ++at)
            rows.setPrint(at->second, print, owner);
    });
}

// Gives each row its fingerprint and owner, read in one pass through the
// fingerprints of the rows' range of ids, or, byList for a few rows, through
// the list of their ids; a row without one keeps none.
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
    // The file tables have no index: every statement reads through all of
    // table1. A few names are picked by a list; more, by reading the
    // registration's rows and sorting them out here.
    const std::function<void()> none;
    QSet<qint32> seen;
    for (qsizetype i = 0; i < rows.size(); ++i)
        seen.insert(rows[i].id);
    const QSet<QString> anywhere(names.anywhere.begin(), names.anywhere.end());
    QStringList named = names.anywhere;
    for (auto at = names.at.begin(); at != names.at.end(); ++at)
        named += at.value();
    named.removeDuplicates();
    QHash<QString, QSet<QString>> at;
    for (auto place = names.at.begin(); place != names.at.end(); ++place)
        at.insert(place.key(), QSet<QString>(place.value().begin(), place.value().end()));
    const KeepRow wanted = [&](const QString& dir, const QString& name) {
        return anywhere.contains(name) || at.value(dir).contains(name);
    };
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
