#pragma once

#include "bits/file_checksums.h"
#include "rows/insert_record.h"
#include "scan/fingerprint.h"
#include "scan/search_rec.h"
#include "storage/statement.h"

#include <QString>
#include <vector>

class TIBQuery;

// Writes the rows of one walk into table1 or table2 several at a time: each
// full batch is one "insert into ... select ... union all select ..." of as
// many rows, which spares most of the engine's work of running a statement
// per row. The rows are exactly those InsertBaselineRecord and
// InsertCurrentRecord write one by one (the same ids, values and order); a
// batch that fails, and the rows left at the end, are written by those
// routines themselves, so an error names the same row and leaves the rows
// before it written, as without batches.
class BulkInsert {
public:
    using InsertRoutine = void (*)(TIBQuery&, const QString&, const TSearchRec&, IdCounter*, const FileSums*,
                                   const Fingerprint*, qint32);

    // With prints, every row's fingerprint is written beside it, and the
    // fingerprints of the ids about to be given out are cleared first (see
    // DeleteFingerprintsFrom); owner, when not 0, is the registration (tab id)
    // that owns the rows.
    BulkInsert(TIBQuery& query, QString table, InsertRoutine oneByOne, bool prints = false, qint32 owner = 0);

    // Takes the row of the file entry in dir; written by the next full batch
    // or by flush().
    void add(const QString& dir, const TSearchRec& entry, const FileSums& sums, const Fingerprint& print = {});
    // Takes the directory row of dir, its fingerprint print, owned as the
    // file rows are; written in batches of its own, as a row of the
    // directory_print table. Only with prints.
    void addDirectory(const QString& dir, const Fingerprint& print);
    // Writes every row taken and not yet written.
    void flush();

    // Rows per batch.
    static constexpr int kBatch = 32;

private:
    struct Row {
        QString dir;
        TSearchRec entry;
        FileSums sums;
        Fingerprint print;
    };
    void firstId();
    void writeBatch();
    void writeOneByOne();
    void writeDirectories();
    Statement fingerprintBatch(qint32 firstId) const;

    TIBQuery& m_query;
    const QString m_table;
    const InsertRoutine m_oneByOne;
    const bool m_prints;
    const qint32 m_owner;
    IdCounter m_ids;
    std::vector<Row> m_rows;
    // The sizes of the last batches, for the next to make room for at once.
    struct {
        qsizetype rows = 0, rowValues = 0, prints = 0, printValues = 0;
    } m_batchSize;
    std::vector<std::pair<QString, Fingerprint>> m_directories;
};
