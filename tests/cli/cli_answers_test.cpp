#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the console answers where a user is stuck or may be mistaken: one
// line that names the cause, in Russian, with nothing of the engine's English.
// Run as an ordinary user where permissions decide (nobody, when the tests
// run as root), in a home of that user's own.
TEST(CliAnswersTest, EachAnswerNamesItsCauseOnOneLine)
{
    TempTree home;
    const uid_t user = geteuid() == 0 ? 65534 : geteuid();
    for (const char* dir : {"db", "tmp", "cache", "lock", "tree/d", "tree/e"})
        home.dir(QString::fromLatin1(dir));
    home.file(QStringLiteral("tree/d/a.txt"), "a");
    home.file(QStringLiteral("tree/e/b.txt"), "b");
    home.file(QStringLiteral("tree/e/c.doc"), "c");
    home.file(QStringLiteral("secret"), "not for everyone");
    if (geteuid() == 0) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"), home.path()}), 0);
    }
    ASSERT_EQ(chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(home.path(QStringLiteral("secret"))).constData(), 0), 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("TMPDIR"), home.path(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.path(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path(QStringLiteral("state")));
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), home.path(QStringLiteral("lock")));
    for (const char* name : {"FIREBIRD", "KVAREN_DATABASE", "KVAREN_PUBLIC_KEY", "KVAREN_STATE_DIR"})
        environment.remove(QString::fromLatin1(name));
    const QString db = home.path(QStringLiteral("db"));
    const auto run = [&](const QStringList& args) { return cliAsOrdinaryUser(db, args, environment); };
    // The engine's directory in the temporary one, made by another user
    // first (by root for nobody), or open to others: it is passed over.
    const QString taken = home.dir(QStringLiteral("tmp/kvaren-%1").arg(user));
    ASSERT_EQ(chmod(QFile::encodeName(taken).constData(), geteuid() == 0 ? 0700 : 0777), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(QFile::encodeName(taken).constData(), 0, 0), 0);
    }
    ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
    EXPECT_TRUE(QFile::exists(home.path(QStringLiteral("cache/kvaren-engine/engine"))));

    // Copies of the database that this user may only read, and that lie
    // behind a directory this user may not enter.
    const QString readOnly = home.path(QStringLiteral("read-only.gdb"));
    const QString closedDir = home.path(QStringLiteral("closed"));
    const QString closed = closedDir + QStringLiteral("/file.gdb");
    const auto makeCopies = [&] {
        ASSERT_TRUE(QFile::copy(home.path(QStringLiteral("db/file.gdb")), readOnly));
        ASSERT_EQ(chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
        ASSERT_TRUE(QDir().mkdir(closedDir));
        ASSERT_TRUE(QFile::copy(home.path(QStringLiteral("db/file.gdb")), closed));
        // Root's directory keeps nobody out; a user's own, only without
        // permissions.
        ASSERT_EQ(chmod(QFile::encodeName(closedDir).constData(), geteuid() == 0 ? 0700 : 0), 0);
    };

    const QString d = home.path(QStringLiteral("tree/d"));
    const QString e = home.path(QStringLiteral("tree/e"));
    const QString status = QStringLiteral("На учете находится: %1  файлов.\n");
    const struct {
        const char* what;
        QStringList args;
        int status;
        QString out;
        QString err;
        std::function<void()> then = {};
    } cases[] = {
        {"a directory put under control", {QStringLiteral("add"), d}, 0, status.arg(1), {}},
        {"the same directory again, written otherwise", {QStringLiteral("add"), d + u'/'}, 0,
         status.arg(2), QStringLiteral("Директория уже была на учете и поставлена на учет еще раз: ") + d + u'\n'},
        {"a directory of some types", {QStringLiteral("add"), e, QStringLiteral("txt"), QStringLiteral(".doc")}, 0,
         status.arg(4), {}, makeCopies},
        {"the list, with the types after a tab", {QStringLiteral("list")}, 0,
         d + QStringLiteral("\tТипы файлов: *\n") + d + QStringLiteral("\tТипы файлов: *\n") + e
             + QStringLiteral("\tТипы файлов: txt,doc\n") + status.arg(4),
         {}},
        {"a database this user may only read", {QStringLiteral("--database"), readOnly, QStringLiteral("list")}, 16, {},
         QStringLiteral("Нет права записи в файл базы данных %1, а ядро базы данных открывает его на запись даже для "
                        "чтения\n")
             .arg(readOnly)},
        {"a database behind a closed directory", {QStringLiteral("--database"), closed, QStringLiteral("list")}, 16, {},
         QStringLiteral("Нет доступа к базе данных %1: нет права входить в директорию %2\n").arg(closed, closedDir)},
        {"a database that is not there", {QStringLiteral("--database"), db + QStringLiteral("/none.gdb"), QStringLiteral("list")},
         16, {}, QStringLiteral("Файл базы данных не найден: ") + db + QStringLiteral("/none.gdb\n")},
        {"sums of a file this user may not read", {QStringLiteral("sum"), home.path(QStringLiteral("secret"))}, 16, {},
         QStringLiteral("Нет доступа на чтение файла: ") + home.path(QStringLiteral("secret")) + u'\n'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        if (c.then)
            c.then();
    }
    chmod(QFile::encodeName(closedDir).constData(), 0700); // for the tree to go
}

} // namespace
