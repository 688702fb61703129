#include "registration/existing_directory.h"

#include "common/exception.h"

#include <QFileInfo>

void RequireExistingDirectory(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        throw Exception(QStringLiteral("Директория не найдена: ") + dir);
}
