#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

class TIBQuery;

// Deletes the table1 rows with the given ids (ascending) together with their
// fingerprints, by set statements on query, one pass through each table per
// run of consecutive ids (a walk gives its rows consecutive ids), in a few
// steps. deleted is told, before the first statement that deletes and after
// each, how many of the rows are gone so far, and may raise to end the work
// there.
void DeleteFileRows(TIBQuery& query, const std::vector<qint32>& ids,
                    const std::function<void(qint64 done, qint64 total)>& deleted = {});

// Deletes the table1 rows with the given ids, a few scattered ones, together
// with their fingerprints: one pass through each table.
void DeleteFileRowsNamed(TIBQuery& query, const std::vector<qint32>& ids);

// Deletes the fingerprints of file ids first and above: the ids a walk is
// about to give out again, after the rows that had them were deleted by a
// program that knew nothing of fingerprints.
void DeleteFingerprintsFrom(TIBQuery& query, qint32 first);
