#include "storage/firebird_lock.h"

#include "common/exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

bool OwnDirectory(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    return lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid()
        && (info.st_mode & 077) == 0;
}

QString FirstOwnDirectory(const QStringList& candidates)
{
    for (const QString& path : candidates) {
        // A fallback's parent (the user's cache) may not be there yet.
        QDir().mkpath(QFileInfo(path).path());
        if (OwnDirectory(path))
            return path;
    }
    return QString();
}

QString UserCacheDirectory(const QString& name)
{
    return qEnvironmentVariable("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache")) + u'/' + name;
}

QString RootLockDirectory()
{
    return QStringLiteral("/run/kvaren");
}

void EnsureFirebirdLockDirectory()
{
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    // The session's runtime directory, where no one else can make anything;
    // else a directory in the temporary folder named after the user, which
    // another user could have made first: then one in the user's cache.
    // Programs of one user that share a database must share this directory
    // too, so a program started outside the session (cron) takes the
    // session's while the user is logged in, and root's programs (cron, sudo,
    // the nightly service, the window) all take RootLockDirectory().
    QStringList candidates;
    const auto usable = [](const QString& runtime) {
        return !runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).ownerId() == getuid();
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString userRuntime = QStringLiteral("/run/user/") + QString::number(getuid());
    if (getuid() == 0)
        candidates.append(RootLockDirectory());
    else if (usable(runtime))
        candidates.append(runtime + QStringLiteral("/firebird"));
    else if (usable(userRuntime))
        candidates.append(userRuntime + QStringLiteral("/firebird"));
    candidates.append(QDir::tempPath() + QStringLiteral("/firebird-") + QString::number(getuid()));
    candidates.append(UserCacheDirectory(QStringLiteral("kvaren-firebird-lock")));
    const QString own = FirstOwnDirectory(candidates);
    if (!own.isEmpty()) {
        qputenv("FIREBIRD_LOCK", QFile::encodeName(own));
        return;
    }
    throw Exception(QStringLiteral("Не удалось создать каталог блокировок базы данных: ") + candidates.join(QStringLiteral(", ")));
}
