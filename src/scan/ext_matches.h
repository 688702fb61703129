#pragma once

#include <QString>

// Whether a file's extension (".txt", or "" for a name without a dot) is in an
// extension list: exactly "*" for every file, or items without dots joined by
// single commas ("txt,doc"). Each item is compared, letter by letter, with a dot
// put in front; spaces belong to the items. The caller lower-cases both texts.
bool ExtMatches(const QString& extension, const QString& list);

// The extension of a file name: from its last "." to the end, the dot included,
// or the empty text when the name has no dot.
QString FileExtension(const QString& name);
