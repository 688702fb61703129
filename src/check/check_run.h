#pragma once

#include "check/check_report.h"

#include <optional>

class Progress;
class SealKey;
class TDM1;

// The integrity check of one registration of dir: the one with the id
// registration when it is given (the window's selected line), else the first
// of dir in the list's order.
// 1. walks dir with the registration's extension list, reading the files on
//    threads of their own (see FileWalker) while the baseline (the rows the
//    registration acts on, see ReadBaselineRows) and the directories recorded
//    are read;
// 2. verifies the seal with publicKey (see VerifySeal), in the same snapshot
//    as the rows it covers;
// 3. judges each file walked against the baseline as it comes (see
//    FileJudge), holding only what it needs to judge the rest; nothing walked
//    is written;
// 4. commits and starts a new transaction, as a check always has (unless
//    inside a change, inChange, which must not let go of what it verified);
// 5. judges the directories walked against those recorded (see
//    JudgeDirectories), then adds the files' findings as JudgeInMemory gives
//    them, and strikes the old places of moved files from the deleted ones.
// A check writes nothing: what an interrupted check of an earlier version
// left in table2 is the next change's to clear.
// Raises Exception naming dir when it is not under control, and any error of
// the walk or the statements, which ends the check where it occurs. An error
// raised by progress ends it the same way.
CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress = nullptr,
                     std::optional<qint32> registration = std::nullopt, const SealKey* publicKey = nullptr,
                     bool inChange = false);
