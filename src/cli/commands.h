#pragma once

#include "cli/console.h"

#include <QStringList>

// Runs one console command (args without the program's name) on the database
// the options name (--database, else KVAREN_DATABASE, else file.gdb in the
// working directory) and returns its exit status. Errors raise Exception;
// the caller prints them and exits with kExitFailure.
int RunCommand(const QStringList& args, Console& console);

// The usage text.
QString UsageText();
