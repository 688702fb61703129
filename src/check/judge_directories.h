#pragma once

#include "check/check_report.h"
#include "rows/directory_prints.h"

// Judges the directories of a check: adds to report, in that order, each
// recorded directory the walk did not find (deleted), then each directory
// walked that was not recorded (new) or whose attributes changed (mode,
// owner, group, extended attributes or inode flags; see FingerprintField).
// A directory never moves: one renamed is deleted at its old path and new at
// its new one. A directory that could not be looked at is there, unjudged:
// neither deleted, nor new, nor changed (the walk lists it as not examined).
// Nothing is judged where nothing was recorded: a registration recorded
// before directories were.
void JudgeDirectories(const DirectoryPrints& recorded, const DirectoryPrints& walked, CheckReport& report);
// The same for some directories of a registration alone, whose recorded ones
// may be none: recordsDirectories tells whether the registration recorded
// any at all.
void JudgeDirectories(const DirectoryPrints& recorded, const DirectoryPrints& walked, CheckReport& report,
                      bool recordsDirectories);

// A directory's full name as reports show it: its path and a "/" (one, for
// the root).
QString DirectoryFullName(const QString& path);
