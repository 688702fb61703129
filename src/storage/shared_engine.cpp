#include "storage/shared_engine.h"

#include "common/exception.h"
#include "storage/firebird_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// Where the distribution installs the engine: its messages, plugins,
// character sets and configuration files.
QString installedRoot()
{
    const QString root = QStringLiteral(KVAREN_FIREBIRD_ROOT);
    return QFileInfo::exists(root + QStringLiteral("/firebird.msg")) ? root : QString();
}

QByteArray configuration(const QString& installed, EngineUse use)
{
    // Each connection has a page cache of its own in this mode. One that
    // writes needs a large one: with fewer pages a transaction that records
    // 100,000 files spills pages to disk before it commits. One that only
    // reads reads each page of its rows once.
    const QByteArray pages = use == EngineUse::Writing ? "8192" : "256";
    return "# Made by Kvaren: the installed configuration, in the mode that lets\n"
           "# several processes of this user attach one database file at once.\n"
           "include "
        + QFile::encodeName(installed) + "/firebird.conf\nServerMode = Classic\n"
           "# Room enough that the lock table never has to grow while programs share it.\n"
           "LockMemSize = 32M\n"
           "# The page cache of a database whose header names none.\n"
           "DefaultDbCachePages = " + pages + "\n";
}

bool holds(const QString& root, const QByteArray& conf)
{
    QFile file(root + QStringLiteral("/firebird.conf"));
    return file.open(QIODevice::ReadOnly) && file.readAll() == conf;
}

// Builds the root beside its place and gives it its name in one step, so that
// another process starting at the same moment finds either none or all of it.
void build(const QString& root, const QString& installed, const QByteArray& conf)
{
    const QString building = root + QStringLiteral(".new-") + QString::number(getpid());
    QDir(building).removeRecursively();
    if (!QDir().mkdir(building))
        throw Exception(QStringLiteral("Не удалось создать каталог ядра базы данных ") + building);
    const QStringList entries = QDir(installed).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& entry : entries)
        if (entry != QLatin1StringView("firebird.conf"))
            QFile::link(installed + u'/' + entry, building + u'/' + entry);
    QFile file(building + QStringLiteral("/firebird.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf) != conf.size() || !file.flush()) {
        QDir(building).removeRecursively();
        throw Exception(QStringLiteral("Не удалось записать настройки ядра базы данных в ") + building);
    }
    file.close();
    if (QDir(root).exists() && !holds(root, conf))
        QDir(root).removeRecursively(); // an earlier version's, or a broken one
    if (!QDir().rename(building, root))
        QDir(building).removeRecursively(); // another process made it meanwhile
}

// The directory of this user's own that keeps the roots: root's
// RootLockDirectory(); a user's kvaren-<uid> in the temporary directory,
// else, when another user made that one first (or may write in it),
// kvaren-engine in the user's cache directory, as the lock directory falls
// back.
QString engineBase()
{
    const QStringList candidates = getuid() == 0
        ? QStringList{RootLockDirectory()}
        : QStringList{QDir::tempPath() + QStringLiteral("/kvaren-") + QString::number(getuid()),
                      UserCacheDirectory(QStringLiteral("kvaren-engine"))};
    const QString base = FirstOwnDirectory(candidates);
    if (base.isEmpty())
        throw Exception(QStringLiteral("Не удалось создать каталог ядра базы данных или он принадлежит другому "
                                       "пользователю: ")
                        + candidates.join(QStringLiteral(", ")));
    return base;
}

} // namespace

QString SharedEngineRoot(EngineUse use)
{
    const QString installed = installedRoot();
    if (installed.isEmpty())
        return QString();
    const QString base = engineBase();
    const QString root = base + (use == EngineUse::Writing ? QStringLiteral("/engine") : QStringLiteral("/engine-reading"));
    const QByteArray conf = configuration(installed, use);
    if (!holds(root, conf))
        build(root, installed, conf);
    if (!holds(root, conf))
        throw Exception(QStringLiteral("Не удалось подготовить каталог ядра базы данных ") + root);
    return root;
}

void PrepareEmbeddedEngine(EngineUse use)
{
    EnsureFirebirdLockDirectory();
    if (!qEnvironmentVariableIsEmpty("FIREBIRD"))
        return;
    const QString root = SharedEngineRoot(use);
    if (!root.isEmpty())
        qputenv("FIREBIRD", QFile::encodeName(root));
}
