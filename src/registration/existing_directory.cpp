#include "registration/existing_directory.h"

#include "common/exception.h"

#include <QFileInfo>

void RequireExistingDirectory(const QString& dir)
{
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir())
        throw Exception(QStringLiteral("Не является директорией: ") + dir);
    if (!info.isDir())
        throw Exception(QStringLiteral("Директория не найдена: ") + dir);
}
