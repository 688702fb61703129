#include "rows/bulk_insert.h"

#include "common/file_name_codec.h"
#include "rows/delete_file_rows.h"
#include "rows/file_row_values.h"
#include "rows/fingerprint_columns.h"
#include "rows/id_allocation.h"
#include "storage/database_error.h"
#include "storage/ib_query.h"

namespace {

// The declared width of a batch's text values: the smallest of a few that
// holds its longest one. A value is copied at its declared width, so the
// columns' own widths (a path may take 4096 bytes) would make every row cost
// what the widest could; a few widths keep the prepared shapes few.
qsizetype widthFor(qsizetype bytes, std::initializer_list<qsizetype> widths)
{
    for (qsizetype width : widths)
        if (bytes <= width)
            return width;
    return -1;
}

constexpr qsizetype kNameBytes = 1020; // the columns' widths (see schema.sql)
constexpr qsizetype kPathBytes = 4096;

} // namespace

BulkInsert::BulkInsert(TIBQuery& query, QString table, InsertRoutine oneByOne, bool prints, qint32 owner)
    : m_query(query), m_table(std::move(table)), m_oneByOne(oneByOne), m_prints(prints), m_owner(owner)
{
    m_rows.reserve(kBatch);
}

void BulkInsert::add(const QString& dir, const TSearchRec& entry, const FileSums& sums, const Fingerprint& print)
{
    m_rows.push_back(Row{dir, entry, sums, print});
    if (m_rows.size() == std::size_t(kBatch))
        writeBatch();
}

void BulkInsert::addDirectory(const QString& dir, const Fingerprint& print)
{
    m_directories.emplace_back(dir, print);
    if (m_directories.size() == std::size_t(kBatch))
        writeDirectories();
}

void BulkInsert::flush()
{
    writeDirectories();
    writeOneByOne();
}

void BulkInsert::writeDirectories()
{
    if (m_directories.empty())
        return;
    qsizetype pathBytes = 0;
    for (const auto& [dir, print] : m_directories)
        pathBytes = std::max(pathBytes, EncodeFileName(dir).size());
    // A longer path cannot be listed, so never stands here.
    const qsizetype width = widthFor(pathBytes, {256, 1024, kPathBytes});
    const qsizetype pathWidth = width < 0 ? kPathBytes : width;
    const QString path = QStringLiteral(" as varchar(%1) character set octets)").arg(pathWidth);
    const QString owner = m_owner > 0 ? QString::number(m_owner) : QStringLiteral("null");
    Statement insert(QStringLiteral("insert into directory_print (tab_id,full_path,") + FingerprintColumnNames()
                     + QStringLiteral(") "));
    bool first = true;
    for (const auto& [dir, print] : m_directories) {
        insert.sql(first ? u"select cast(" : u" union all select cast(");
        insert.sql(owner + QStringLiteral(" as integer),cast(")).quoted(dir).sql(path);
        AppendFingerprintCasts(insert, print).sql(u" from rdb$database");
        first = false;
    }
    m_query.executeStatement(insert);
    m_directories.clear();
}

void BulkInsert::firstId()
{
    // The first row of a walk asks the table for its id, as one by one.
    if (m_ids.next || m_rows.empty())
        return;
    m_ids.next = NextId(m_query, m_table);
    if (m_prints)
        DeleteFingerprintsFrom(m_query, *m_ids.next);
}

void BulkInsert::writeOneByOne()
{
    // Each row leaves the list once written, so that after an error the rows
    // before it are not written a second time.
    std::size_t written = 0;
    struct Drop {
        std::vector<Row>& rows;
        std::size_t& written;
        ~Drop() { rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(written)); }
    } drop{m_rows, written};
    firstId();
    for (const Row& row : m_rows) {
        m_oneByOne(m_query, row.dir, row.entry, &m_ids, &row.sums, m_prints ? &row.print : nullptr, m_owner);
        ++written;
    }
}

Statement BulkInsert::fingerprintBatch(qint32 firstId) const
{
    Statement insert(QStringLiteral("insert into fingerprint (file_id,tab_id,") + FingerprintColumnNames()
                     + QStringLiteral(") "));
    insert.reserve(m_batchSize.prints, m_batchSize.printValues);
    const QString owner = m_owner > 0 ? QString::number(m_owner) : QStringLiteral("null");
    qint32 id = firstId;
    for (const Row& row : m_rows) {
        insert.sql(id == firstId ? u"select cast(" : u" union all select cast(");
        insert.number(id++).sql(QStringLiteral(" as integer),cast(") + owner + QStringLiteral(" as integer)"));
        AppendFingerprintCasts(insert, row.print).sql(u" from rdb$database");
    }
    return insert;
}

void BulkInsert::writeBatch()
{
    firstId();

    qsizetype nameBytes = 0;
    qsizetype pathBytes = 0;
    for (const Row& row : m_rows) {
        nameBytes = std::max(nameBytes, EncodeFileName(row.entry.Name).size());
        pathBytes = std::max(pathBytes, EncodeFileName(row.dir).size());
    }
    const qsizetype nameWidth = widthFor(nameBytes, {64, 255, kNameBytes});
    const qsizetype pathWidth = widthFor(pathBytes, {256, 1024, kPathBytes});
    if (nameWidth < 0 || pathWidth < 0) {
        writeOneByOne(); // refuses the text too long for its column
        return;
    }
    const FileRowCasts casts(nameWidth, pathWidth);

    Statement insert(QString(QStringLiteral("insert into ") + m_table + u' '));
    insert.reserve(m_batchSize.rows, m_batchSize.rowValues);
    qint32 id = *m_ids.next;
    for (const Row& row : m_rows) {
        insert.sql(id == *m_ids.next ? u"select " : u" union all select ");
        AppendFileRowValues(insert, id++, row.dir, row.entry, row.sums, &casts).sql(u" from rdb$database");
    }
    m_batchSize.rows = insert.shape().size();
    m_batchSize.rowValues = insert.values().size();
    try {
        m_query.executeStatement(insert);
    } catch (const EDatabaseError&) {
        // The statement changed nothing; one by one, the row at fault raises
        // its own error after the rows before it are written.
        writeOneByOne();
        return;
    }
    // A fingerprint that fails to be written is the database's fault, not a
    // row's: its error ends the walk.
    if (m_prints) {
        const Statement prints = fingerprintBatch(*m_ids.next);
        m_batchSize.prints = prints.shape().size();
        m_batchSize.printValues = prints.values().size();
        m_query.executeStatement(prints);
    }
    m_ids.next = id;
    m_rows.clear();
}
