#pragma once

#include "check/check_report.h"

#include <optional>

class Progress;
class TDM1;

// The integrity check of a directory under control:
// 1. empties table2 of anything an interrupted check left there;
// 2. walks dir into table2 with the directory's extension list, then commits
//    and starts a new transaction, so the scan is stored before any judgement;
// 3. judges every baseline row of dir (deleted files) and every table2 row
//    (moved, new and changed files): by default from the rows read once and
//    compared in memory; by the per-file statements (CheckBaselineFile and
//    CompareCurrentFile) when asked, and for databases whose names are not
//    kept as bytes. Both give the same report;
// 4. empties table2 again and strikes the old places of moved files from the
//    deleted list.
// Raises Exception naming dir when it is not under control, and any error of
// the walk or the statements, which ends the check where it occurs. An error
// raised by progress ends it the same way.
//
// The check is of one registration of dir: the one with the id registration
// when it is given (the window's selected line), else the first of dir in the
// list's order. Judged in memory, its baseline is the rows it owns (see
// OwnedRows); judged by the statements, every row at dir or below it.
enum class CheckJudging { InMemory, Statements };
CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress = nullptr,
                     CheckJudging judging = CheckJudging::InMemory,
                     std::optional<qint32> registration = std::nullopt);

// Steps 3 and the strike-out of 4 alone: judges the scan that table2 holds
// against dir's baseline, leaving table2 as it is.
CheckReport JudgeScan(TDM1& dm, const QString& dir, Progress* progress = nullptr,
                      CheckJudging judging = CheckJudging::InMemory,
                      std::optional<qint32> registration = std::nullopt);

// Deletes every table2 row, in one statement.
void EmptyTable2(TDM1& dm);

// When judging by statements: from how many scanned files on the deleted files
// are judged on a second connection, alongside the others; below it, where a
// new connection would cost more than it saves, one after the other.
inline qint32 RunCheckInParallelFrom = 2000;
