#pragma once

#include "scan/fingerprint.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Statement;
class TIBQuery;

// A file row of table1 or table2 with the columns a check compares.
struct CheckRow {
    QString name;
    QString path;
    qint32 size = 0;
    QString atr;
    qint32 crc1 = 0;
    qint32 crc2 = 0;
    // Nothing for a baseline row written before fingerprints were kept.
    std::optional<Fingerprint> print = std::nullopt;
    qint32 id = 0; // where read, to find the row's fingerprint by
};

// Every row of the result of statement (a select of at least those columns of
// table1 or table2, and of id when it has it), in the order the database
// returns them, read on query as the per-file routines
// read them (texts as texts, numbers as signed 32-bit integers). read is told
// the number of rows read so far every few hundred rows. Rows of one
// directory share their path text.
QList<CheckRow> ReadCheckRows(TIBQuery& query, const Statement& statement, const std::function<void(qint64 read)>& read);

// Whether the rows a walk has just written into table2, count of them with
// ids counting up by one from the first, are all the table holds, and come
// back in the order written, as they do unless the table's pages had room
// left by rows not yet cleared away. The engine goes through the ids and
// answers yes or no.
// Gives each of rows (table1 rows read with their ids) its fingerprint, read
// from the fingerprint table in one statement; a row without one keeps none.
void AttachFingerprints(TIBQuery& query, QList<CheckRow>& rows);

bool ReturnedAsWritten(TIBQuery& query, qint64 count);

// The rows a walk has just written into table2 (written, in the order of
// their ids, which count up by one from the first) put in the order in which
// the database returns table2's rows, found by reading their ids alone: the
// same list ReadCheckRows of "select ... from table2" gives, at a fraction of
// the reading. Nothing when table2 holds other rows as well, or not all of
// these. read is told the number of ids read every few hundred rows.
std::optional<QList<CheckRow>> InTableOrder(TIBQuery& query, QList<CheckRow> written,
                                            const std::function<void(qint64 read)>& read);
