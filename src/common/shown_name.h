#pragma once

#include <QByteArrayView>
#include <QString>

// A name, or a path, as a report, a window or stderr shows it: so that a
// name cannot break its line or move the cursor, nor pass for another name
// by what a reader cannot see, and so that no two names show alike. Escaped
// are:
//   the backslash itself, "\\";
//   control characters: "\n", "\t", "\r", "\xNN" for the other ones below
//   0x20 and 0x7f, "\u0080" to "\u009f" for those of 0x80 to 0x9f;
//   each byte that is not UTF-8 (see file_name_codec.h), "\xNN" (80 to ff);
//   characters that show as nothing or steer the text's direction (Unicode's
//   default-ignorable code points: zero-width spaces and joiners, bidi
//   embeddings, overrides and isolates, variation selectors, tags...) and
//   the line and paragraph separators: "\u202e", "\U000e0041";
//   the blanks (spaces of any width) a name starts or ends with, where they
//   are read as nothing: "\x20" for a space, "\u00a0" and the like for the
//   others. A path is a row of names: the rule holds for each name between
//   its "/" ("/etc/\x20\x20\x20" is not "/etc/").
// A line that holds names among other words is made of names shown so, never
// shown as a whole: "a " moved reads "/d/a\x20 перемещен в /d/b".
QString ShownName(const QString& name);

// A name as the file system gives it, bytes that need not be UTF-8, shown as
// ShownName shows it.
QString ShownNameBytes(QByteArrayView bytes);

// A name as a JSON document gives it: each byte that is not UTF-8 as "\xNN",
// as JSON holds only text, and the backslash itself as "\\", so that such a
// byte and a name spelled with "\xff" stay two strings. The rest is JSON's
// to escape.
QString JsonName(const QString& name);
