#include "seal/kept_rows.h"

#include "rows/baseline_rows.h"
#include "rows/check_rows.h"
#include "rows/directory_rows.h"
#include "rows/registration.h"
#include "seal/seal_rows.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <algorithm>

namespace {

KeptRows* listening = nullptr;

// How many of some rows were written before the transaction, and how many
// now: a row's version is the number of the transaction that wrote it.
struct Written {
    qint64 before = 0;
    qint64 now = 0;
};

constexpr QStringView kCount = u"select count(*),count(iif(rdb$record_version=current_transaction,1,null)) from ";

Written counted(TIBQuery& query, const Statement& select)
{
    Written written;
    ForEachRow(query, select, [&] {
        written.now = query.fieldAsLargeInt(1);
        written.before = query.fieldAsLargeInt(0) - written.now;
    });
    return written;
}

// The table1 rows at the registration's directory or below it, whoever owns
// them.
Written fileRows(TIBQuery& query, const Registration& registration)
{
    Statement select(kCount);
    return counted(query, AppendDirectoryRows(select.sql(u"table1 where "), registration.dir));
}

// The fingerprints of ids from first to last, whichever rows those are.
Written printRows(TIBQuery& query, qint32 first, qint32 last)
{
    if (query.database().lacks(QStringLiteral("fingerprint")))
        return {};
    return counted(query,
                   Statement(kCount).sql(u"fingerprint where file_id between ").number(first).sql(u" and ").number(last));
}

} // namespace

struct KeptRows::Kept {
    DirectoryTable dirs;
    CheckRows rows{dirs};
    bool usable = false;
    qint64 fileRows = 0;  // before the change, see fileRows()
    qint64 printRows = 0; // of the rows' range of ids
    qint32 first = 0, last = 0;
    QSet<qint32> deleted; // as the change told
};

KeptRows::KeptRows() = default;
KeptRows::~KeptRows() = default;

const CheckRows& KeptRows::read(TIBQuery& query, const Registration& registration)
{
    auto kept = std::make_unique<Kept>();
    ReadBaselineRows(query, registration, kept->rows);
    // Rows the transaction wrote already would be told apart from the
    // change's by nothing.
    const Written files = fileRows(query, registration);
    kept->usable = files.now == 0;
    kept->fileRows = files.before;
    if (!kept->rows.isEmpty()) {
        kept->first = kept->last = kept->rows[0].id;
        for (qsizetype i = 1; i < kept->rows.size(); ++i) {
            kept->first = std::min(kept->first, kept->rows[i].id);
            kept->last = std::max(kept->last, kept->rows[i].id);
        }
        kept->printRows = printRows(query, kept->first, kept->last).before;
    }
    Kept& made = *(m_kept[registration.id] = std::move(kept));
    return made.rows;
}

std::optional<Sha256Digest> KeptRows::digestAfter(TIBQuery& query, const Registration& registration, int fieldSet)
{
    const auto found = m_kept.find(registration.id);
    if (found == m_kept.end() || !found->second->usable)
        return std::nullopt;
    Kept& kept = *found->second;
    const CheckRows& rows = kept.rows;

    // Each row told deleted is one of the kept rows, each once.
    QSet<qint32> ids;
    qint64 deletedPrints = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (ids.contains(rows[i].id))
            return std::nullopt;
        ids.insert(rows[i].id);
        if (kept.deleted.contains(rows[i].id) && rows.print(rows[i]))
            ++deletedPrints;
    }
    for (const qint32 id : kept.deleted)
        if (!ids.contains(id))
            return std::nullopt;
    // Nothing else went, of the rows or of their fingerprints, and no kept
    // row got a fingerprint now: those written now in the kept rows' range
    // are the written rows' own.
    if (fileRows(query, registration).before != kept.fileRows - kept.deleted.size())
        return std::nullopt;
    CheckRows written(kept.dirs);
    ReadRowsWrittenNow(query, registration, written);
    if (!rows.isEmpty()) {
        qint64 ownPrints = 0;
        for (qsizetype i = 0; i < written.size(); ++i)
            ownPrints += written[i].id >= kept.first && written[i].id <= kept.last && written.print(written[i]);
        const Written prints = printRows(query, kept.first, kept.last);
        if (prints.before != kept.printRows - deletedPrints || prints.now != ownPrints)
            return std::nullopt;
    }

    // The rows it owns, or, owning none, those nobody owns, as
    // ReadBaselineRows reads them; kept rows read so.
    bool owns = false;
    for (const CheckRows* side : {&rows, static_cast<const CheckRows*>(&written)})
        for (qsizetype i = 0; i < side->size() && !owns; ++i)
            owns = (*side)[i].owner == registration.id;
    const qint32 owner = owns ? registration.id : 0;
    if (!rows.isEmpty() && rows[0].owner != owner)
        return std::nullopt;
    CheckRows after(kept.dirs);
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (!kept.deleted.contains(rows[i].id))
            after.appendCopy(rows, rows[i]);
    for (qsizetype i = 0; i < written.size(); ++i)
        if (written[i].owner == owner)
            after.appendCopy(written, written[i]);
    return RegistrationDigest(query, registration, after, fieldSet);
}

KeptRows::Listening::Listening(KeptRows& rows)
{
    listening = &rows;
}

KeptRows::Listening::~Listening()
{
    listening = nullptr;
}

void TellRowsDeleted(qint32 registration, const std::vector<qint32>& ids)
{
    if (!listening)
        return;
    const auto found = listening->m_kept.find(registration);
    if (found == listening->m_kept.end())
        return;
    for (const qint32 id : ids)
        found->second->deleted.insert(id);
}

const CheckRows* KeptBaseline(qint32 registration)
{
    if (!listening)
        return nullptr;
    const auto found = listening->m_kept.find(registration);
    if (found == listening->m_kept.end() || !found->second->deleted.isEmpty())
        return nullptr;
    return &found->second->rows;
}
