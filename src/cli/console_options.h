#pragma once

#include <QString>
#include <QStringList>

// The options that stand before the command:
//   --database NAME  the database (default: $KVAREN_DATABASE, else file.gdb in
//                    the working directory); a file, or host:/path on a server
//   --wait SECONDS   how long to wait for a database another program holds
struct ConsoleOptions {
    QString database;
    int waitSeconds = 0;
    QStringList command; // the command and its arguments; --help and --version stand for commands
};

// Reads the options off args. Raises Exception on an unknown option or a
// missing or malformed value.
ConsoleOptions ParseConsoleOptions(const QStringList& args);
