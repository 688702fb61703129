#pragma once

#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "scan/file_walker.h"

// Adds what a step of a check's walk found: a file's row to files, or an
// entered directory to directories (without a fingerprint where it could not
// be examined). Returns whether the step was a file's.
bool AddWalkedStep(FileWalker::Step& step, CheckRows& files, DirectoryPrints& directories);
