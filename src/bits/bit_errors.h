#pragma once

#include "common/exception.h"
#include "common/shown_name.h"

// The checksum engine's exception, raised with its one fixed text.
inline const QString kFileInitErrorText = QStringLiteral("Ошибка инициализации файла ");

class EFileBitError : public Exception {
public:
    // The fixed text, optionally followed by the file's full name so that the
    // user can tell which file failed.
    // Control characters in the name are escaped: the message is one line.
    explicit EFileBitError(const QString& fileName = QString()) : Exception(kFileInitErrorText + ShownName(fileName)) {}
};
