#pragma once

// Exit statuses of kvaren-cli. A check combines the found bits; 16 is an
// error; 32 is added when names in a walked tree could not be examined.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitNewFiles = 1,
    kExitDeletedFiles = 2,
    kExitChangedFiles = 4,
    kExitMovedFiles = 8,
    kExitFailure = 16,
    kExitNotExamined = 32,
};
