#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// The log of checks and accepts, as kvaren-cli log gives it, after a day of
// checks and accepts of each kind on a real database.
class CliLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.remove(QStringLiteral("KVAREN_DATABASE"));
        environment.remove(QStringLiteral("KVAREN_PUBLIC_KEY"));
        tree.file(QStringLiteral("d/a.txt"), "a");
        tree.file(QStringLiteral("d/b.txt"), "b");
        tree.file(QStringLiteral("other/c.txt"), "c");
        ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), dir()}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), tree.path(QStringLiteral("other"))}).status, 0);
    }

    Result run(const QStringList& args) const { return cli(work.path(), args, environment); }
    QString dir() const { return tree.path(QStringLiteral("d")); }
    QJsonArray entries(const QStringList& args = {}) const
    {
        const Result log = run(QStringList{QStringLiteral("log"), QStringLiteral("--json")} + args);
        EXPECT_EQ(log.status, 0) << log.err.toStdString();
        return QJsonDocument::fromJson(log.out.toUtf8()).object().value(QStringLiteral("entries")).toArray();
    }

    TempTree work;
    TempTree tree;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(CliLogTest, EachCheckAndAcceptIsLoggedWithWhatItFoundOrTook)
{
    EXPECT_EQ(run({QStringLiteral("check"), dir()}).status, 0);
    tree.file(QStringLiteral("d/new.txt"), "n");
    tree.file(QStringLiteral("d/a.txt"), "changed");
    QFile::remove(tree.path(QStringLiteral("d/b.txt")));
    EXPECT_EQ(run({QStringLiteral("check"), dir()}).status, 1 | 2 | 4);
    EXPECT_EQ(run({QStringLiteral("update"), dir(), QStringLiteral("new.txt")}).status, 0);
    EXPECT_EQ(run({QStringLiteral("update"), dir()}).status, 0);
    EXPECT_EQ(run({QStringLiteral("check"), QStringLiteral("--all")}).status, 0);

    struct Expected {
        const char* kind;
        QJsonValue found; // new, deleted, changed of a check
        QJsonArray names; // of an accept of names
    };
    const QJsonArray none{0, 0, 0};
    const std::vector<Expected> expected{
        {"check", none, {}},
        {"check", QJsonArray{1, 1, 1}, {}},
        {"accept-names", {}, QJsonArray{tree.path(QStringLiteral("d/new.txt"))}},
        {"accept", {}, QJsonArray{}},
        {"check", none, {}}, // of d, by --all
    };
    const QJsonArray logged = entries({dir()});
    ASSERT_EQ(logged.size(), qsizetype(expected.size())) << QJsonDocument(logged).toJson().toStdString();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QJsonObject entry = logged[qsizetype(i)].toObject();
        SCOPED_TRACE(QJsonDocument(entry).toJson().toStdString());
        EXPECT_EQ(entry[QStringLiteral("kind")].toString(), QLatin1String(expected[i].kind));
        EXPECT_EQ(entry[QStringLiteral("directory")].toString(), dir());
        EXPECT_FALSE(entry[QStringLiteral("user")].toString().isEmpty());
        EXPECT_TRUE(QDateTime::fromString(entry[QStringLiteral("time")].toString(), Qt::ISODateWithMs).isValid());
        if (expected[i].found.isArray()) {
            const QJsonArray found{entry[QStringLiteral("new")], entry[QStringLiteral("deleted")],
                                   entry[QStringLiteral("changed")]};
            EXPECT_EQ(found, expected[i].found.toArray());
            EXPECT_EQ(entry[QStringLiteral("status")].toInt(), found == none ? 0 : 7);
            EXPECT_EQ(entry[QStringLiteral("seal")].toString(), QStringLiteral("none"));
        } else {
            EXPECT_EQ(entry[QStringLiteral("names")].toArray(), expected[i].names);
        }
    }
    // Without a directory, every registration's: --all checked the other too.
    EXPECT_EQ(entries().size(), qsizetype(expected.size()) + 1);
    const QString text = run({QStringLiteral("log"), dir()}).out;
    EXPECT_TRUE(text.contains(QStringLiteral("приняты изменения файлов"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("    удаленных 1, перемещенных 0, новых 1, измененных 1; без печати; код 7")))
        << text.toStdString();
    // Taken out of control, its log goes with it.
    ASSERT_EQ(run({QStringLiteral("remove"), dir()}).status, 0);
    EXPECT_EQ(entries().size(), 1);
}

// A check by an account that may only read: the report as always, nothing
// logged and nothing said of it.
TEST_F(CliLogTest, ACheckOfARead_onlyDatabaseLogsNothingAndSaysNothing)
{
    QProcess gfix;
    gfix.start(QStringLiteral("gfix"), {QStringLiteral("-user"), QStringLiteral("sysdba"), QStringLiteral("-mode"),
                                        QStringLiteral("read_only"), work.path(QStringLiteral("file.gdb"))});
    ASSERT_TRUE(gfix.waitForFinished(30000));
    ASSERT_EQ(gfix.exitCode(), 0) << gfix.readAllStandardError().toStdString();
    tree.file(QStringLiteral("d/new.txt"), "n");
    const Result check = run({QStringLiteral("check"), dir()});
    EXPECT_EQ(check.status, 1) << check.err.toStdString();
    EXPECT_TRUE(check.err.isEmpty()) << check.err.toStdString();
    EXPECT_EQ(entries().size(), 0);
}

} // namespace
