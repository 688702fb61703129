#pragma once

#include <QString>
#include <optional>

// The window program's usage text.
QString WindowUsageText();

// Answers --help (the usage) and --version on stdout, and refuses on stderr
// an option or a word the program does not know, returning the exit status;
// otherwise returns nothing and the program starts. It runs before the
// application object is made, since that needs a display; Qt's own options
// (-platform, -style ...) are let through for the application.
std::optional<int> AnswerCommandLine(int argc, char** argv);
