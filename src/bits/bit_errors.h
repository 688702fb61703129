#pragma once

#include "common/exception.h"
#include "common/shown_name.h"

// The checksum engine's exceptions, each raised with its one fixed text.
class EStrBitError : public Exception {
public:
    EStrBitError() : Exception(QStringLiteral("Bits index out of range")) {}
};

inline const QString kFileInitErrorText = QStringLiteral("Ошибка инициализации файла ");
// The second word is spelt with the Latin letter p, as the program always has.
inline const QString kFileCloseErrorText = QStringLiteral("Ошибка пpи записи конца файла ");

class EFileBitError : public Exception {
public:
    // The fixed text, optionally followed by the file's full name so that the
    // user can tell which file failed.
    // Control characters in the name are escaped: the message is one line.
    explicit EFileBitError(const QString& fileName = QString()) : Exception(kFileInitErrorText + ShownName(fileName)) {}
};

class EFileBitZacr : public Exception {
public:
    EFileBitZacr() : Exception(kFileCloseErrorText) {}
};

// A failure of the operating system when a file is closed: its error text.
class EInOutError : public Exception {
public:
    explicit EInOutError(const QString& detail) : Exception(QStringLiteral("Ошибка ввода-вывода: ") + detail) {}
};
