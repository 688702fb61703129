#pragma once

#include <QString>

// Raises Exception "Директория не найдена: " and dir unless dir is a directory
// now, and not through a link at its last name. The dialog only offers directories that existed when it showed them, and
// the console takes any text: either way, a missing one would be put under
// control with no files and no error.
void RequireExistingDirectory(const QString& dir);
