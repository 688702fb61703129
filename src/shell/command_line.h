#pragma once

#include <QString>
#include <optional>

// The window program's usage text.
QString WindowUsageText();

// Answers --help (the usage) and --version on stdout when argv holds either,
// returning the exit status; otherwise returns nothing and the program starts.
// It runs before the application object is made, since that needs a display;
// Qt's own options (-platform, -style ...) are left for the application.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv);
