#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// File names are bytes; the program holds them as text. A name that is valid
// UTF-8 is its text; each byte of one that is not stands in the text as a
// lone surrogate, U+DC80 plus the byte (as Python's "surrogateescape" does),
// so that the name can be opened again and stored byte for byte. No valid
// UTF-8 decodes to a lone surrogate, so no two names share a text.

QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView name);

// Whether name holds bytes that are not UTF-8.
bool HasRawBytes(QStringView name);

// The byte a text unit stands for, when it is one of those surrogates.
inline bool IsRawByte(QChar c)
{
    return c.unicode() >= 0xdc80 && c.unicode() <= 0xdcff;
}
