#pragma once

#include <QString>
#include <QStringList>

// A console command line. The program's own options may stand anywhere:
//   --database NAME  the database (default: $KVAREN_DATABASE, else file.gdb in
//                    the working directory); a file, or host:/path on a server
//   --wait SECONDS   how long to wait for a database another program holds
//   --key FILE       the private key that seals a sealed database again
//   --public-key FILE  the public key a check verifies the seal with
//   --package-root DIR  the tree whose package database explains findings
//                    (default /), as installed with dpkg --root=DIR
//   --help, -h       the usage;  --version  the version
//   --settle SECONDS  (watch) how long a changed name is to be quiet before
//                    it is judged; it stands among the command's options
// The first word is the command; other options after it are the command's own.
// "--" ends the options: every word after it is an argument.
struct ConsoleOptions {
    QString database;
    bool databaseNamed = false; // by --database or KVAREN_DATABASE, not file.gdb by default
    int waitSeconds = 0;
    double settleSeconds = 2; // watch's --settle: how long a changed name is to be quiet
    QString keyFile;
    QString publicKeyFile;
    QString packageRoot;
    bool help = false;
    bool version = false;
    QString command;
    QStringList words;        // the command's arguments
    QStringList commandFlags; // the options that stood after the command, unknown to the program
};

// Reads a command line. Raises Exception on an option unknown before the
// command, or a missing or malformed value.
ConsoleOptions ParseConsoleOptions(const QStringList& args);
