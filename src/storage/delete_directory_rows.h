#pragma once

#include <QString>
#include <functional>

class TIBQuery;

// Deletes the table1 rows of dir and the directories below it (the rows that
// AppendDirectoryRows selects) together with their fingerprints, by a few set
// statements on query, each one pass through its table: the ids of the rows
// are read once, their fingerprints deleted run of ids by run of ids (a walk
// gives its rows consecutive ids), and the rows in a few steps. deleted is
// told, before the first statement that deletes and after each, how many of
// the rows are gone so far, and may raise to end the work there. Returns how
// many table1 rows were deleted.
qint64 DeleteDirectoryRows(TIBQuery& query, const QString& dir,
                           const std::function<void(qint64 done, qint64 total)>& deleted = {});

// Deletes the fingerprints of file ids first and above: the ids a walk is
// about to give out again, after the rows that had them were deleted by a
// program that knew nothing of fingerprints.
void DeleteFingerprintsFrom(TIBQuery& query, qint32 first);
