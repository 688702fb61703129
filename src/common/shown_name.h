#pragma once

#include <QByteArrayView>
#include <QString>

// A name as a report, a window or stderr shows it: every control character
// (below 0x20, 0x7f and 0x80 to 0x9f) written as an escape, so that a name
// cannot break a line or move the cursor and so add a line of its own
// choosing: "\n", "\t", "\r", and "\xNN" for the others; and each byte
// that is not UTF-8 (see file_name_codec.h) as "\xNN".
QString ShownName(const QString& name);

// The same for the bytes that are not UTF-8 alone, for a JSON document,
// which escapes control characters itself.
QString ShownRawBytes(const QString& name);

// A name as the file system gives it, bytes that need not be UTF-8, shown as
// ShownName shows it.
QString ShownNameBytes(QByteArrayView bytes);
