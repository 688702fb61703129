#pragma once

#include "check/check_report.h"

class Progress;
class TDM1;

// The integrity check of a directory under control:
// 1. empties table2 of anything an interrupted check left there;
// 2. walks dir into table2 with the directory's extension list, then commits
//    and starts a new transaction, so the scan is stored before any judgement;
// 3. judges every baseline row of dir (deleted files) and every table2 row
//    (moved, new and changed files), the two passes side by side on two
//    connections for large trees;
// 4. empties table2 again, one statement per row, and strikes the old places
//    of moved files from the deleted list.
// Raises Exception naming dir when it is not under control, and any error of
// the walk or the statements, which ends the check where it occurs.
CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress = nullptr);

// Deletes every table2 row, one statement per row.
void EmptyTable2(TDM1& dm);

// From how many scanned files on the deleted files are judged on a second
// connection, alongside the others; below it, where a new connection would
// cost more than it saves, one after the other.
inline qint32 RunCheckInParallelFrom = 2000;
