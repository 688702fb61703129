#pragma once

#include "bits/file_checksums.h"
#include "scan/insert_record.h"
#include "scan/search_rec.h"

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
    using InsertRoutine = void (*)(TIBQuery&, const QString&, const TSearchRec&, IdCounter*, const FileSums*);

    BulkInsert(TIBQuery& query, QString table, InsertRoutine oneByOne);

    // Takes the row of the file entry in dir; written by the next full batch
    // or by flush().
    void add(const QString& dir, const TSearchRec& entry, const FileSums& sums);
    // Writes every row taken and not yet written.
    void flush();

    // Rows per batch.
    static constexpr int kBatch = 32;

private:
    struct Row {
        QString dir;
        TSearchRec entry;
        FileSums sums;
    };
    void writeBatch();
    void writeOneByOne();

    TIBQuery& m_query;
    const QString m_table;
    const InsertRoutine m_oneByOne;
    IdCounter m_ids;
    std::vector<Row> m_rows;
};
