#include "shell/window_database.h"

#include "common/exception.h"
#include "storage/database_file.h"
#include "storage/dm1.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString UserDatabasePath()
{
    // GenericDataLocation is $XDG_DATA_HOME, or ~/.local/share without it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kvaren/")
        + kDatabaseFileName;
}

QString WindowDatabaseName(const QString& option, bool userDatabase)
{
    if (!option.isEmpty())
        return option;
    if (const QString named = qEnvironmentVariable("KVAREN_DATABASE"); !named.isEmpty())
        return named;
    return userDatabase ? UserDatabasePath() : kDatabaseFileName;
}

void MakeUserDatabase(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw Exception(QStringLiteral("Не удалось создать папку базы данных: ") + folder);
    CreateDatabaseFile(path);
}
