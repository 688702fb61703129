#pragma once

#include <QString>
#include <variant>

// What the window program's command line asks of the window.
struct WindowOptions {
    QString database;          // --database; empty when not given (see WindowDatabaseName)
    bool userDatabase = false; // --user-database
};

// The window program's usage text.
QString WindowUsageText();

// Reads the window program's command line. Answers --help (the usage) and
// --version on stdout, and refuses on stderr an option or a word the program
// does not know, giving the exit status; otherwise gives the options, and the
// program starts. It runs before the application object is made, since that
// needs a display; Qt's own options (-platform, -style ...) are let through
// for the application.
std::variant<int, WindowOptions> ReadWindowCommandLine(int argc, char** argv);
