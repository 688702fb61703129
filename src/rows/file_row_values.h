#pragma once

#include "bits/file_checksums.h"
#include "scan/search_rec.h"
#include "storage/statement.h"

#include <QString>

// The types a select gives a file row's values, as a batch of rows joined by
// "union all" needs: the name and the path as octets of the declared widths
// given (see BulkInsert), the others as their columns are.
struct FileRowCasts {
    FileRowCasts(qsizetype nameWidth, qsizetype pathWidth);
    QString name;
    QString path;
};

// Appends the values of the row of the file entry in dir to insert, separated
// by commas, in the order of table1's (and table2's) columns, which their
// inserts list by position (see schema.sql): id, the name, dir, the size, the
// packed time as text, AttrToText, and the two checksums. With casts, each
// value is cast to its type.
Statement& AppendFileRowValues(Statement& insert, qint32 id, const QString& dir, const TSearchRec& entry,
                               const FileSums& sums, const FileRowCasts* casts = nullptr);
