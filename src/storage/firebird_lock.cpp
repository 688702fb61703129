#include "storage/firebird_lock.h"

#include "common/exception.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

void EnsureFirebirdLockDirectory()
{
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    const QString path = QDir::tempPath() + QStringLiteral("/firebird-") + QString::number(getuid());
    const QByteArray native = QFile::encodeName(path);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw Exception(QStringLiteral("Не удалось создать каталог блокировок базы данных ") + path);
    struct stat info {};
    if (lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        throw Exception(QStringLiteral("Каталог блокировок базы данных принадлежит другому пользователю: ") + path);
    qputenv("FIREBIRD_LOCK", native);
}
