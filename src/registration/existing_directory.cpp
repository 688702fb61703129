#include "registration/existing_directory.h"

#include "common/exception.h"
#include "common/shown_name.h"

#include <QFileInfo>

void RequireExistingDirectory(const QString& dir)
{
    const QFileInfo info(dir);
    // A walk never follows a link, the directory put under control included.
    if (info.isSymLink())
        throw Exception(QStringLiteral("Является символической ссылкой, а не директорией: ") + ShownName(dir)
                        + QStringLiteral(" → ") + ShownName(info.symLinkTarget()));
    if (info.exists() && !info.isDir())
        throw Exception(QStringLiteral("Не является директорией: ") + ShownName(dir));
    if (!info.isDir())
        throw Exception(QStringLiteral("Директория не найдена: ") + ShownName(dir));
}
