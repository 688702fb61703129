#pragma once

#include <QString>
#include <QStringList>

// The directories a list file names, one a line, in its order: blank lines
// and lines whose first non-blank character is "#" are left out, the blanks
// around a name are dropped, and each name is cleaned as the console cleans
// a directory it is given (see CleanDirectoryText). Raises Exception naming
// the file when it cannot be read, and the line when a name is not an
// absolute path (a list read as root must not depend on the working
// directory).
QStringList ReadDirectoryListFile(const QString& file);
