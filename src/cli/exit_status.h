#pragma once

// Exit statuses of kvaren-cli. A check's status is the FoundBits of what it
// found (1 new, 2 deleted, 4 changed, 8 moved files, and 64 when the
// database's seal does not hold or cannot be verified, which list gives too);
// 16 is an error; 32 is added when names in a walked tree could not be
// examined; a command stopped by a signal ends with 128 plus the signal.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 16,
    kExitNotExamined = 32,
};
