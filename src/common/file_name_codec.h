#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// File names are bytes; the program holds them as text. A name that is valid
// UTF-8 is its text; in one that is not, the valid sequences are their text
// and each other byte, always 0x80 or above, stands as a lone surrogate,
// U+DC00 plus the byte (as Python's "surrogateescape" does), so that the name
// can be opened again and stored byte for byte. No valid UTF-8 decodes to a
// lone surrogate, so no two names share a text. A low surrogate that ends a
// pair is half of a character, never a byte: U+1F480 is D83D DC80.

QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView name);

// Whether a text unit of name stands for a byte (see IsRawByte): whether the
// name's bytes are other than its UTF-8.
bool HasRawBytes(QStringView name);

// Whether the text unit at i of name stands for a byte, U+DC00 plus the byte.
inline bool IsRawByte(QStringView name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    return c >= 0xdc80 && c <= 0xdcff && (i == 0 || !name[i - 1].isHighSurrogate());
}
