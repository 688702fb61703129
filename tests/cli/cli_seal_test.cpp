#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A sealed database against changes made behind the program's back, by SQL
// on the database file itself, and against changes without the key.
class CliSealTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.insert(QStringLiteral("KVAREN_KEY_PASSPHRASE"), QStringLiteral("correct horse"));
        environment.remove(QStringLiteral("KVAREN_PUBLIC_KEY"));
        environment.remove(QStringLiteral("KVAREN_DATABASE"));
        ASSERT_EQ(run({QStringLiteral("key"), key(), publicKey()}).status, 0);
        ASSERT_EQ(run({QStringLiteral("key"), other(), work.path(QStringLiteral("other.pub"))}).status, 0);
        tree.file(QStringLiteral("d/a.txt"), "a");
        tree.file(QStringLiteral("d/sub/b.txt"), "b");
        tree.file(QStringLiteral("e/c.txt"), "c");
        ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), dir()}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), tree.path(QStringLiteral("e"))}).status, 0);
        ASSERT_EQ(run({QStringLiteral("seal"), key()}).status, 0);
    }

    Result run(const QStringList& args) const { return cli(work.path(), args, environment); }
    Result check() const { return run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("check"), dir()}); }

    // Runs SQL on the database file, as an intruder with the file would.
    void sql(const QByteArray& script, const QString& database = QString()) const
    {
        QProcess isql;
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"),
                                               database.isEmpty() ? work.path(QStringLiteral("file.gdb")) : database});
        isql.write(script + "\ncommit;\n");
        isql.closeWriteChannel();
        ASSERT_TRUE(isql.waitForFinished(30000));
        ASSERT_EQ(isql.readAllStandardError(), QByteArray()) << script.toStdString();
    }

    // A copy of file named name, of that mode.
    QString copy(const QString& file, const QString& name, QFile::Permissions mode) const
    {
        const QString made = work.path(name);
        EXPECT_TRUE(QFile::copy(file, made));
        EXPECT_TRUE(QFile::setPermissions(made, mode));
        return made;
    }

    QString dir() const { return tree.path(QStringLiteral("d")); }
    QString key() const { return work.path(QStringLiteral("seal.key")); }
    QString publicKey() const { return work.path(QStringLiteral("seal.pub")); }
    QString other() const { return work.path(QStringLiteral("other.key")); }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    TempTree work;
    TempTree tree;
};

TEST_F(CliSealTest, EveryChangeBehindTheProgramsBackIsReportedBeforeTheLists)
{
    const QString rows = QStringLiteral("Записи директории изменены помимо программы: ") + dir();
    const QString list = QStringLiteral("Печать базы данных не совпадает");
    struct Case {
        const char* what;
        QByteArray sql;
        QString line; // the report's first line begins so
        int found;    // what the lists find besides
    };
    const QList<Case> cases{
        {"a digest rewritten", "update fingerprint set sha256=lpad('', 64, '0') where file_id=1;", rows, 4},
        {"a row deleted", "delete from table1 where id=1;", rows, 1},
        {"a row inserted", "insert into table1 values (100,'x.txt','" + dir().toUtf8() + "',1,'0','001',1,1);"
         "insert into fingerprint (file_id,tab_id,mode) values (100,1,33188);", rows, 2},
        {"a row given to another registration", "update fingerprint set tab_id=2 where file_id=1;", rows, 1},
        {"a registration deleted", "delete from tab where id=2;", list, 0},
        {"a directory row changed", "update directory_print set mode=16895 where tab_id=1;", rows, 4},
        {"the seal deleted", "delete from seal;", QStringLiteral("База данных не запечатана"), 0},
    };
    const auto saved = [&] {
        QFile file(work.path(QStringLiteral("file.gdb")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray sealed = saved();
    const auto restore = [&](const QByteArray& bytes) {
        QFile file(work.path(QStringLiteral("file.gdb")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restore(sealed);
        sql(c.sql);
        const Result r = check();
        EXPECT_EQ(r.status, 64 | c.found) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(c.line)) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n\nУдаленные файлы\n"))) << "the lists still follow";
    }
    // An accept: the seal covers who accepted what, and when; not the
    // checks' entries, which an account without the key writes.
    restore(sealed);
    ASSERT_EQ(run({QStringLiteral("--key"), key(), QStringLiteral("update"), dir(), QStringLiteral("sub/b.txt")}).status, 0);
    const QByteArray accepted = saved();
    const QList<std::pair<QByteArray, int>> logCases{
        {"update event_log set names=null where kind='accept-names';", 64},
        {"update event_log set logged_at='2020-01-01T00:00:00.000Z' where kind<>'check';", 64},
        {"delete from event_log where kind<>'check';", 64},
        {"delete from event_log where kind='check';", 0},
    };
    for (const auto& [change, status] : logCases) {
        SCOPED_TRACE(change.constData());
        restore(accepted);
        sql(change);
        const Result r = check();
        EXPECT_EQ(r.status, status) << r.out.toStdString();
        EXPECT_EQ(r.out.startsWith(rows), status != 0) << r.out.toStdString();
    }
    // Nor does a change with the key bless one: the list no longer holds.
    restore(sealed);
    sql("delete from tab where id=2;");
    const Result refused = run({QStringLiteral("--key"), key(), QStringLiteral("update"), dir()});
    EXPECT_EQ(refused.status, 16);
    EXPECT_TRUE(refused.err.startsWith(list)) << refused.err.toStdString();
    // Sealed again with another key: on purpose, over what no longer holds.
    EXPECT_EQ(run({QStringLiteral("seal"), other()}).status, 16);
    ASSERT_EQ(run({QStringLiteral("seal"), QStringLiteral("--force"), other()}).status, 0);
    const Result r = check();
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.out.startsWith(list)) << r.out.toStdString();
}

TEST_F(CliSealTest, OnlyTheKeyChangesASealedDatabaseAndWhatItChangesChecksClean)
{
    const QString verified = QStringLiteral("Печать базы данных проверена ключом ");
    Result r = check();
    ASSERT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(verified)) << r.out.toStdString();
    const QString fingerprint = r.out.section(u'\n', 0, 0).mid(verified.size());
    EXPECT_EQ(fingerprint.size(), 64);

    tree.file(QStringLiteral("d/a.txt"), "trojan of another size");
    EXPECT_EQ(check().status, 4);
    const QByteArray before = [&] {
        QFile file(work.path(QStringLiteral("file.gdb")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    r = run({QStringLiteral("update"), dir()});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("База данных запечатана"))) << r.err.toStdString();
    QProcessEnvironment wrong = environment;
    wrong.insert(QStringLiteral("KVAREN_KEY_PASSPHRASE"), QStringLiteral("wrong"));
    r = cli(work.path(), {QStringLiteral("--key"), key(), QStringLiteral("update"), dir()}, wrong);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Неверный пароль"))) << r.err.toStdString();
    EXPECT_EQ(check().status, 4) << "nothing was accepted";

    for (const QStringList& change : {QStringList{QStringLiteral("update"), dir(), QStringLiteral("a.txt")},
                                      QStringList{QStringLiteral("update"), dir()},
                                      QStringList{QStringLiteral("remove"), tree.path(QStringLiteral("e"))},
                                      QStringList{QStringLiteral("add"), tree.path(QStringLiteral("e"))}}) {
        r = run(QStringList{QStringLiteral("--key"), key()} + change);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(check().status, 0) << change.join(u' ').toStdString();
    }
    r = check();
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(r.out.section(u'\n', 0, 0), verified + fingerprint);
    r = run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("list")});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(run({QStringLiteral("check"), dir()}).status, 64) << "a sealed database with no public key set up";
    EXPECT_NE(run({QStringLiteral("key"), key(), work.path(QStringLiteral("new.pub"))}).status, 0)
        << "a key never over a file that exists";
}

static QByteArray bytesOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

static void putBytes(const QString& file, const QByteArray& bytes)
{
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
}

// What one who can write the database file, but has no key, can try: each
// attack is told by a check (64) or refuses the change that would bless it
// (16, nothing changed); the administrator blesses on purpose with seal.
TEST_F(CliSealTest, AttacksOnTheDatabaseFileAreToldAndNeverBlessed)
{
    const QString database = work.path(QStringLiteral("file.gdb"));
    const QString rowsChanged = QStringLiteral("Записи директории изменены помимо программы: ") + dir();
    const QByteArray forgery = "update table1 set file_size=99, crc1=1, crc2=2 where file_name='a.txt';"
                               "update fingerprint set sha256=lpad('', 64, 'f') where file_id="
                               "(select id from table1 where file_name='a.txt');";
    const QStringList withKey{QStringLiteral("--key"), key()};
    const QStringList acceptB{QStringLiteral("update"), dir(), QStringLiteral("sub/b.txt")};
    Result r = check();
    ASSERT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.section(u'\n', 1, 1).startsWith(QStringLiteral("Запечатана "))) << r.out.toStdString();
    EXPECT_TRUE(r.out.section(u'\n', 1, 1).contains(QStringLiteral(", поколение 1, база данных "))) << r.out.toStdString();
    const QByteArray sealed = bytesOf(database);

    // A forged row, then a one-file accept of an unchanged file with the key.
    sql(forgery);
    r = run(withKey + acceptB);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(rowsChanged)) << r.err.toStdString();
    r = check();
    EXPECT_EQ(r.status, 64 | 4) << "the forgery is still told";
    EXPECT_TRUE(r.out.startsWith(rowsChanged)) << r.out.toStdString();
    r = run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("list")});
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.out.startsWith(rowsChanged)) << r.out.toStdString();
    r = run(withKey + QStringList{QStringLiteral("seal"), key()});
    EXPECT_EQ(r.status, 16) << "no terminal to ask on, and no --force";
    EXPECT_TRUE(r.err.startsWith(rowsChanged)) << r.err.toStdString();

    // An older sealed copy put back after a sealed change.
    putBytes(database, sealed);
    tree.file(QStringLiteral("d/a.txt"), "an upgrade");
    ASSERT_EQ(run(withKey + QStringList{QStringLiteral("update"), dir()}).status, 0);
    ASSERT_EQ(check().status, 0);
    putBytes(database, sealed);
    tree.file(QStringLiteral("d/a.txt"), "a");
    r = check();
    EXPECT_EQ(r.status, 64) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Поколение печати вернулось назад: 1, а уже проверялось поколение 2")))
        << r.out.toStdString();
    EXPECT_EQ(run(withKey + acceptB).status, 16) << "nor does a change carry an old copy on";
    // The copy put back on purpose is sealed again, and counts on.
    r = run({QStringLiteral("seal"), QStringLiteral("--force"), key()});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("check"), QStringLiteral("--json"), dir()});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    const QJsonObject seal = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("seal")).toObject();
    EXPECT_EQ(seal.value(QStringLiteral("generation")).toInteger(), 3);
    EXPECT_EQ(seal.value(QStringLiteral("key")).toString().size(), 64);
    EXPECT_FALSE(seal.value(QStringLiteral("sealed")).toString().isEmpty());

    // A database sealed elsewhere with the same key and the same directories.
    TempTree elsewhere;
    const QString other = elsewhere.path(QStringLiteral("file.gdb"));
    for (const QStringList& step : {QStringList{QStringLiteral("init")}, QStringList{QStringLiteral("add"), dir()},
                                    QStringList{QStringLiteral("add"), tree.path(QStringLiteral("e"))},
                                    QStringList{QStringLiteral("seal"), key()}})
        ASSERT_EQ(cli(elsewhere.path(), step, environment).status, 0) << step.join(u' ').toStdString();
    putBytes(database, bytesOf(other));
    r = check();
    EXPECT_EQ(r.status, 64) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Это другая база данных"))) << r.out.toStdString();

    // A database kept without a key: the same rows forged, and its bits flipped.
    TempTree plain;
    const QStringList onPlain{QStringLiteral("--database"), plain.path(QStringLiteral("file.gdb"))};
    tree.file(QStringLiteral("d/a-name-long-enough-to-find-in-the-pages.txt"), "x");
    ASSERT_EQ(run(onPlain + QStringList{QStringLiteral("init")}).status, 0);
    ASSERT_EQ(run(onPlain + QStringList{QStringLiteral("add"), dir()}).status, 0);
    const QStringList plainCheck = onPlain + QStringList{QStringLiteral("check"), dir()};
    ASSERT_EQ(run(plainCheck).out.section(u'\n', 0, 0), QStringLiteral("Удаленные файлы")) << "it claims no seal";
    const QByteArray kept = bytesOf(plain.path(QStringLiteral("file.gdb")));
    sql(forgery, plain.path(QStringLiteral("file.gdb")));
    r = run(plainCheck);
    EXPECT_EQ(r.status, 64 | 4) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(rowsChanged)) << r.out.toStdString();
    r = run(onPlain + acceptB);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(rowsChanged)) << r.err.toStdString();
    EXPECT_EQ(run(onPlain + QStringList{QStringLiteral("seal"), QStringLiteral("--force")}).status, 0);
    EXPECT_EQ(run(plainCheck).status, 4) << "blessed on purpose: the file differs from its row, nothing more";

    QByteArray flipped = kept;
    const QByteArray name = "a-name-long-enough-to-find-in-the-pages";
    for (qsizetype at = flipped.indexOf(name); at >= 0; at = flipped.indexOf(name, at + 1))
        flipped[at + 10] = char(flipped[at + 10] ^ 0x01);
    ASSERT_NE(flipped, kept);
    putBytes(plain.path(QStringLiteral("file.gdb")), flipped);
    r = run(plainCheck);
    EXPECT_TRUE((r.status & 64) || (r.status == 16 && r.err.contains(QStringLiteral("повреждена"))))
        << r.status << r.out.toStdString() << r.err.toStdString();
}

// One public key set up where a user's keys are kept serves every database of
// that user that is sealed, and fails none that never was; a seal removed
// from one it verified before is told. Run as an ordinary user (nobody, when
// the tests run as root), with the program's own places for keys and memory.
TEST_F(CliSealTest, OneKeySetUpServesTheSealedDatabaseAndFailsNoneNeverSealed)
{
    TempTree home;
    home.file(QStringLiteral("tree/a.txt"), "a");
    home.file(QStringLiteral("config/kvaren/seal.pub"), bytesOf(publicKey()));
    home.file(QStringLiteral("seal.key"), bytesOf(key()));
    home.dir(QStringLiteral("sealed"));
    home.dir(QStringLiteral("plain"));
    home.dir(QStringLiteral("lock"));
    QFile::setPermissions(home.path(QStringLiteral("seal.key")), QFile::ReadOwner | QFile::WriteOwner);
    if (geteuid() == 0) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"), home.path()}), 0);
    }
    QProcessEnvironment user = environment;
    user.insert(QStringLiteral("HOME"), home.path());
    user.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path(QStringLiteral("config")));
    user.insert(QStringLiteral("XDG_STATE_HOME"), home.path(QStringLiteral("state")));
    user.insert(QStringLiteral("FIREBIRD_LOCK"), home.path(QStringLiteral("lock")));
    user.remove(QStringLiteral("KVAREN_STATE_DIR"));
    user.remove(QStringLiteral("FIREBIRD"));
    const auto as = [&](const QString& where, const QStringList& args) {
        return cliAsOrdinaryUser(home.path(where), args, user);
    };
    const QString tree = home.path(QStringLiteral("tree"));
    for (const QString& where : {QStringLiteral("sealed"), QStringLiteral("plain")}) {
        ASSERT_EQ(as(where, {QStringLiteral("init")}).status, 0);
        ASSERT_EQ(as(where, {QStringLiteral("add"), tree}).status, 0);
    }
    Result r = as(QStringLiteral("sealed"), {QStringLiteral("seal"), home.path(QStringLiteral("seal.key"))});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = as(QStringLiteral("sealed"), {QStringLiteral("check"), tree});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Печать базы данных проверена ключом "))) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(home.path(QStringLiteral("state/kvaren/seals"))));
    for (const QString& command : {QStringLiteral("check"), QStringLiteral("list")}) {
        r = as(QStringLiteral("plain"), command == u"check" ? QStringList{command, tree} : QStringList{command});
        EXPECT_EQ(r.status, 0) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("Печать"))) << r.out.toStdString();
    }
    sql("delete from seal;", home.path(QStringLiteral("sealed/file.gdb")));
    r = as(QStringLiteral("sealed"), {QStringLiteral("check"), tree});
    EXPECT_EQ(r.status, 64) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("База данных не запечатана, а здесь проверялась запечатанная")))
        << r.out.toStdString();
}

// A key file is judged before anything is asked or waited for: one that is no
// regular file of the user's or root's, or that others may read (the private
// key) or write, is refused at once on one line naming it, with no passphrase
// asked and nothing left waiting. Run with no passphrase and no terminal, a
// file that passed would end in a complaint about the passphrase instead.
TEST_F(CliSealTest, KeyFilesAreJudgedAtOnceBeforeAnyPassphrase)
{
    const QString fifo = work.path(QStringLiteral("key.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = work.path(QStringLiteral("link.key"));
    ASSERT_TRUE(QFile::link(key(), link));
    const auto owner = QFile::ReadOwner | QFile::WriteOwner;
    const QString readable = copy(key(), QStringLiteral("readable.key"), owner | QFile::ReadGroup | QFile::ReadOther);
    const QString groupWritable = copy(key(), QStringLiteral("group.key"), owner | QFile::WriteGroup);
    const QString shared = copy(publicKey(), QStringLiteral("shared.pub"), owner | QFile::ReadGroup | QFile::WriteGroup
                                                                              | QFile::ReadOther);
    const QString open = copy(publicKey(), QStringLiteral("open.pub"), owner | QFile::ReadOther | QFile::WriteOther);
    const QString missing = work.path(QStringLiteral("missing.key"));
    const QString newKey = work.path(QStringLiteral("new.key"));
    const QString absent = work.path(QStringLiteral("absent"));
    const QString same = work.path(QStringLiteral("same.key"));

    QProcessEnvironment bare = environment;
    bare.remove(QStringLiteral("KVAREN_KEY_PASSPHRASE"));
    struct Case {
        const char* what;
        QStringList args;
        QString line; // the one line on stderr begins so
        bool passphraseGiven = false;
    };
    const QString update = QStringLiteral("update");
    const QString checking = QStringLiteral("check");
    const QString withKey = QStringLiteral("--key");
    const QString withPublic = QStringLiteral("--public-key");
    const QString notRegular = QStringLiteral("Файл ключа не является обычным файлом: ");
    QList<Case> cases{
        {"a FIFO as the private key", {withKey, fifo, update, dir()}, notRegular + fifo},
        {"a FIFO as the public key", {withPublic, fifo, checking, dir()}, notRegular + fifo},
        {"a FIFO to seal with", {QStringLiteral("seal"), fifo}, notRegular + fifo},
        {"a link to the private key", {withKey, link, update, dir()},
         QStringLiteral("Файл ключа является символической ссылкой: ") + link},
        {"a world-readable private key", {withKey, readable, update, dir()},
         QStringLiteral("Закрытый ключ доступен не только владельцу (права 0644, нужны 0600): ") + readable},
        {"a group-writable private key", {QStringLiteral("seal"), groupWritable},
         QStringLiteral("Закрытый ключ доступен не только владельцу (права 0620, нужны 0600): ") + groupWritable},
        {"a group-writable public key", {withPublic, shared, checking, dir()},
         QStringLiteral("Открытый ключ могут изменить группа или другие (права 0664): ") + shared},
        {"a world-writable public key", {withPublic, open, QStringLiteral("list")},
         QStringLiteral("Открытый ключ могут изменить группа или другие (права 0606): ") + open},
        {"the private key as the public one", {withPublic, key(), checking, dir()},
         QStringLiteral("Это закрытый ключ, а нужен открытый: ") + key()},
        {"a missing private key", {withKey, missing, update, dir()},
         QStringLiteral("Не удалось открыть файл ключа: ") + missing + QStringLiteral(": ")},
        {"a key pair into a missing directory", {QStringLiteral("key"), newKey, absent + QStringLiteral("/new.pub")},
         QStringLiteral("Не удалось создать файл ключа: ") + absent
             + QStringLiteral("/new.pub: директория %1 не найдена").arg(absent)},
        // Past every check: the private key is written, and undone when the
        // public one finds its place taken.
        {"both halves into one file", {QStringLiteral("key"), same, same},
         QStringLiteral("Не удалось создать файл ключа: ") + same + QStringLiteral(": "), true},
    };
    if (geteuid() == 0) {
        const QString foreign = copy(key(), QStringLiteral("foreign.key"), owner);
        ASSERT_EQ(chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        cases.append({"a private key another user may rewrite", {withKey, foreign, update, dir()},
                      QStringLiteral("Файл ключа принадлежит другому пользователю (uid 65534): ") + foreign});
    }
    tree.file(QStringLiteral("d/a.txt"), "changed, for an update to accept");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QElapsedTimer took;
        took.start();
        const Result r = cliWithoutTerminal(work.path(), c.args, c.passphraseGiven ? environment : bare, 30000);
        EXPECT_LT(took.elapsed(), 5000) << "refused at once, not after a wait";
        EXPECT_EQ(r.status, 16);
        EXPECT_TRUE(r.err.startsWith(c.line)) << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(newKey)) << "nothing is left behind";
    EXPECT_FALSE(QFileInfo::exists(same)) << "nothing is left behind";
    EXPECT_EQ(check().status, 4) << "nothing was accepted";

    ASSERT_TRUE(QDir().mkdir(absent));
    Result r = run({QStringLiteral("key"), newKey, absent + QStringLiteral("/new.pub")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = cliWithoutTerminal(work.path(), {withKey, key(), update, dir()}, environment);
    EXPECT_EQ(r.status, 0) << "the database was left free: " << r.err.toStdString();
    EXPECT_EQ(check().status, 0);
}

// The private key's passphrase becomes its cipher key through PBKDF2-SHA256
// of 600,000 rounds; a key written with OpenSSL's default 2,048 rounds, as
// earlier versions wrote them, still seals.
TEST_F(CliSealTest, ThePrivateKeyIsEncryptedWithManyRoundsAndOneOfFewerStillReads)
{
    // The OBJECT names and INTEGER values of the PEM's encryption header, in order.
    const auto scheme = [](const QString& file) {
        QProcess parse;
        parse.start(QStringLiteral("openssl"), {QStringLiteral("asn1parse"), QStringLiteral("-in"), file});
        EXPECT_TRUE(parse.waitForFinished(30000));
        QStringList fields;
        for (const QByteArray& line : parse.readAllStandardOutput().split('\n')) {
            const QByteArray value = line.mid(line.lastIndexOf(':') + 1).trimmed();
            if (line.contains("prim: OBJECT"))
                fields << QString::fromLatin1(value);
            else if (line.contains("prim: INTEGER"))
                fields << QString::number(value.toLongLong(nullptr, 16));
        }
        return fields.join(u' ');
    };
    EXPECT_EQ(scheme(key()), QStringLiteral("PBES2 PBKDF2 600000 hmacWithSHA256 aes-256-cbc"));

    const QString old = work.path(QStringLiteral("old.key"));
    QProcess make;
    make.start(QStringLiteral("openssl"),
               {QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("ED25519"),
                QStringLiteral("-aes-256-cbc"), QStringLiteral("-pass"), QStringLiteral("pass:correct horse"),
                QStringLiteral("-out"), old});
    ASSERT_TRUE(make.waitForFinished(30000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    ASSERT_TRUE(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(scheme(old), QStringLiteral("PBES2 PBKDF2 2048 hmacWithSHA256 aes-256-cbc"));
    // Sealed with another key than the database's, so on purpose.
    const Result r = run({QStringLiteral("seal"), QStringLiteral("--force"), old});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("База данных запечатана ключом "))) << r.out.toStdString();
}

} // namespace
