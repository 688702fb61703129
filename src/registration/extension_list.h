#pragma once

#include <QString>
#include <QStringList>

// The extension list of a directory put under control: the checked file types,
// in the check list's order, then every non-empty memo line as it stands (a line
// of spaces or one holding commas included), joined by single commas; "*" when
// that gives nothing.
QString BuildExtensionList(const QStringList& checkedTypes, const QStringList& memoLines);

// A file type as a user may write it, "conf", ".conf" or "*.conf", as the list
// holds it: "conf". "*" (every file) stays as it is.
QString PlainFileType(const QString& type);
