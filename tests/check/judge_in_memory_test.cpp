#include "check/check_run.h"
#include "common/exception.h"
#include "common/progress.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "scan/directory_walk.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

// The in-memory judging against the per-file statements it replaces: on
// random trees, registrations and changes, both judge the same committed scan
// and must give the same report, line for line and in the same order.
namespace {

// Names that the statements tell apart only byte for byte, or that quote.
const QStringList kNames{QStringLiteral("a.txt"),       QStringLiteral("A.txt"),   QStringLiteral("a.txt "),
                         QStringLiteral(" a.txt"),      QStringLiteral("b"),       QStringLiteral("b  "),
                         QStringLiteral("o'brien.txt"), QStringLiteral("Привет"), QStringLiteral("x.dat")};
const QStringList kDirs{QString(),          QStringLiteral("sub"),      QStringLiteral("sub "),
                        QStringLiteral("Sub"), QStringLiteral("sub/deep"), QStringLiteral("o'dir"),
                        QStringLiteral("Папка"), QStringLiteral("sub/deep/x")};
// Few contents, so that copies and equal files at several places are common.
const QList<QByteArray> kContents{"", "1", "2", "22", "abc", "abd", "longer contents"};

class Scenario {
public:
    Scenario(TDM1& dm, const QString& root, unsigned start) : m_dm(dm), m_root(root), m_rng(start) {}

    QString dir() const { return m_root + QStringLiteral("/d"); }

    void run()
    {
        for (int i = 0; i < 40; ++i)
            write(place(QStringLiteral("d")));
        for (int i = 0; i < 6; ++i)
            write(place(pick(QStringList{QStringLiteral("d2"), QStringLiteral("D"), QStringLiteral("d/sub")})));
        register_();
        change();
        ScanToCurrent(m_dm, dir(), QStringLiteral("*"));
        m_dm.IBTransaction1.commit();
        m_dm.IBTransaction1.startTransaction();
    }

private:
    template<typename T>
    const T& pick(const QList<T>& from)
    {
        return from[std::uniform_int_distribution<qsizetype>(0, from.size() - 1)(m_rng)];
    }
    bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(m_rng) < percent; }
    void commit()
    {
        m_dm.IBTransaction1.commit();
        m_dm.IBTransaction1.startTransaction();
    }

    QString place(const QString& top)
    {
        const QString sub = pick(kDirs);
        return m_root + u'/' + top + (sub.isEmpty() ? QString() : u'/' + sub) + u'/' + pick(kNames);
    }
    void write(const QString& path, QByteArray contents = {})
    {
        if (contents.isNull())
            contents = pick(kContents);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QStringList files() const
    {
        QStringList found;
        std::function<void(const QString&)> walk = [&](const QString& at) {
            for (const QFileInfo& entry : QDir(at).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
                if (entry.isDir())
                    walk(entry.filePath());
                else
                    found.append(entry.filePath());
            }
        };
        walk(dir());
        found.sort();
        return found;
    }

    // The directory, sometimes twice, sometimes with a directory inside it or
    // beside it of its own; some registrations taken back and made again after
    // a commit, so that new rows fill the room of removed ones and the order
    // the database returns rows in is no longer the order of their ids.
    void register_()
    {
        const QString sibling = m_root + QStringLiteral("/d2");
        const QString nested = dir() + QStringLiteral("/sub");
        if (chance(50)) {
            PutUnderControl(m_dm, sibling, QStringLiteral("*"));
            commit();
        }
        PutUnderControl(m_dm, dir(), QStringLiteral("*"));
        bool overlapping = false;
        if (chance(40)) {
            commit();
            RemoveFromControl(m_dm, dir());
            commit();
            PutUnderControl(m_dm, nested, QStringLiteral("*"));
            PutUnderControl(m_dm, dir(), QStringLiteral("*"));
            overlapping = true;
        }
        // Files that change between two registrations leave rows of one
        // place that disagree with each other.
        auto touchSome = [&] {
            for (const QString& file : files()) {
                if (chance(15))
                    write(file);
                else if (chance(10))
                    ::chmod(QFile::encodeName(file).constData(), 0444);
            }
        };
        if (chance(40)) {
            touchSome();
            PutUnderControl(m_dm, dir(), QStringLiteral("*"));
            overlapping = true;
        }
        if (chance(40)) {
            touchSome();
            PutUnderControl(m_dm, nested, QStringLiteral("*"));
            overlapping = true;
        }
        // The statements judge every row at a directory or below it, as rows
        // were judged before registrations owned them: where registrations
        // overlap, the rows are made such rows, for both judgings to agree on.
        if (overlapping)
            m_dm.IBQuery1.executeStatement(Statement(u"update fingerprint set tab_id = null"));
        commit();
    }

    void change()
    {
        for (const QString& file : files()) {
            switch (std::uniform_int_distribution<int>(0, 9)(m_rng)) {
            case 0:
                QFile::remove(file);
                break;
            case 1: { // moved, perhaps onto another file
                const QString to = place(QStringLiteral("d"));
                QDir().mkpath(QFileInfo(to).absolutePath());
                QFile::remove(to);
                QFile::rename(file, to);
                break;
            }
            case 2: { // copied elsewhere, the source left in place
                const QString to = place(QStringLiteral("d"));
                QDir().mkpath(QFileInfo(to).absolutePath());
                QFile::remove(to);
                QFile::copy(file, to);
                break;
            }
            case 3: // renamed in its directory
                QFile::rename(file, QFileInfo(file).absolutePath() + u'/' + pick(kNames));
                break;
            case 4:
                write(file);
                break;
            case 5:
                ::chmod(QFile::encodeName(file).constData(), 0444);
                break;
            case 6:
                ::chmod(QFile::encodeName(file).constData(), 0644);
                break;
            default:
                break;
            }
        }
        for (int i = 0; i < 6; ++i)
            write(place(QStringLiteral("d")));
    }

    TDM1& m_dm;
    QString m_root;
    std::mt19937 m_rng;
};

void expectSameReport(const CheckReport& inMemory, const CheckReport& statements)
{
    EXPECT_EQ(inMemory.deleted, statements.deleted);
    EXPECT_EQ(inMemory.moved, statements.moved);
    EXPECT_EQ(inMemory.movedFrom, statements.movedFrom);
    EXPECT_EQ(inMemory.added, statements.added);
    EXPECT_EQ(inMemory.changed, statements.changed);
}

class JudgeInMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { ConnectDM1(dm, kDatabaseFileName); }

    TempDatabase database;
    TDM1 dm;
    TempTree tree;
};

TEST_F(JudgeInMemoryTest, GivesTheStatementsReportOnRandomTreesAndChanges)
{
    // One database for every round: the rows of earlier rounds stay, as on a
    // machine with several directories under control.
    int found = 0;
    for (unsigned round = 1; round <= 20; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Scenario scenario(dm, tree.dir(QStringLiteral("r%1").arg(round)), round);
        scenario.run();
        const CheckReport statements = JudgeScan(dm, scenario.dir(), nullptr, CheckJudging::Statements);
        const CheckReport inMemory = JudgeScan(dm, scenario.dir(), nullptr, CheckJudging::InMemory);
        expectSameReport(inMemory, statements);
        found |= statements.foundBits();
        EmptyTable2(dm);
        // A check run as a whole gives what its judging gave on its own scan.
        if (round % 5 == 0)
            expectSameReport(RunCheck(dm, scenario.dir()), statements);
    }
    EXPECT_EQ(found, 15) << "the rounds find every kind of change";
}

TEST_F(JudgeInMemoryTest, AWholeCheckGivesTheStatementsReportWithItsTransactionCleanOrNot)
{
    // Whether or not its transaction has changed anything before it, a second
    // check of the same tree finds what the statements found on the first
    // one's scan.
    for (unsigned round = 1; round <= 6; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Scenario scenario(dm, tree.dir(QStringLiteral("r%1").arg(round)), 100 + round);
        scenario.run();
        const CheckReport statements = JudgeScan(dm, scenario.dir(), nullptr, CheckJudging::Statements);
        EmptyTable2(dm);
        const bool clean = round % 2 == 1;
        if (clean) {
            dm.IBTransaction1.commit();
            dm.IBTransaction1.startTransaction();
        }
        ASSERT_EQ(dm.IBTransaction1.changedData(), !clean);
        expectSameReport(RunCheck(dm, scenario.dir()), statements);
        EXPECT_EQ(RunCheck(dm, scenario.dir(), nullptr, CheckJudging::Statements).foundBits(), statements.foundBits());
    }
}

TEST_F(JudgeInMemoryTest, SeveralEqualFilesElsewhereGiveTheRowTheDatabaseReturnsFirst)
{
    // Four places hold the same file; it turns up at a fifth. Removing and
    // registering again reorders the rows against their ids.
    for (const char* at : {"d/p/a", "d/q/a", "d/r/a", "d/s/a"})
        tree.file(QString::fromUtf8(at), "same");
    const QString d = tree.path(QStringLiteral("d"));
    PutUnderControl(dm, tree.path(QStringLiteral("d/r")), QStringLiteral("*"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    RemoveFromControl(dm, tree.path(QStringLiteral("d/r")));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    PutUnderControl(dm, d, QStringLiteral("*"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    for (const char* from : {"d/p/a", "d/q/a", "d/r/a", "d/s/a"})
        QFile::remove(tree.path(QString::fromUtf8(from)));
    tree.file(QStringLiteral("d/t/a"), "same");

    ScanToCurrent(dm, d, QStringLiteral("*"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    const CheckReport statements = JudgeScan(dm, d, nullptr, CheckJudging::Statements);
    ASSERT_EQ(statements.moved.size(), 1);
    expectSameReport(JudgeScan(dm, d, nullptr, CheckJudging::InMemory), statements);
}

TEST_F(JudgeInMemoryTest, AScanRowOutsideTheDirectoryIsJudgedByTheStatements)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("e/b.txt"), "b");
    const QString d = tree.path(QStringLiteral("d"));
    PutUnderControl(dm, d, QStringLiteral("*"));
    PutUnderControl(dm, tree.path(QStringLiteral("e")), QStringLiteral("*"));
    // A row no walk of d makes: its place has a baseline row outside d.
    ScanToCurrent(dm, tree.path(QStringLiteral("e")), QStringLiteral("*"));
    tree.file(QStringLiteral("d/a.txt"), "changed");
    ScanToCurrent(dm, d, QStringLiteral("*"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    const CheckReport statements = JudgeScan(dm, d, nullptr, CheckJudging::Statements);
    EXPECT_EQ(statements.changed.size(), 2) << "size and contents";
    EXPECT_TRUE(statements.added.isEmpty()) << "e/b.txt is at its place in the baseline of e";
    expectSameReport(JudgeScan(dm, d, nullptr, CheckJudging::InMemory), statements);
}

} // namespace

namespace {

// Databases made before names were kept as bytes compare them as texts, where
// "x" equals "x ": their checks are judged by the statements, which compare
// as that database does.
TEST_F(JudgeInMemoryTest, TextNameColumnsAreJudgedByTheStatements)
{
    for (const char* table : {"table1", "table2"})
        dm.IBQuery1.executeStatement(Statement(QStringLiteral(
            "recreate table %1 (id integer, file_name varchar(255) character set utf8,"
            " full_path varchar(4096) character set utf8, file_size integer, data varchar(11), atr varchar(3),"
            " crc1 integer, crc2 integer)").arg(QString::fromUtf8(table))));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    tree.file(QStringLiteral("d/x"), "1");
    tree.file(QStringLiteral("d/x "), "2");
    const QString d = tree.path(QStringLiteral("d"));
    PutUnderControl(dm, d, QStringLiteral("*"));
    QFile::remove(tree.path(QStringLiteral("d/x ")));
    ScanToCurrent(dm, d, QStringLiteral("*"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    const CheckReport statements = JudgeScan(dm, d, nullptr, CheckJudging::Statements);
    EXPECT_TRUE(statements.deleted.isEmpty()) << "x stands for x  in a text column";
    expectSameReport(JudgeScan(dm, d, nullptr, CheckJudging::InMemory), statements);
}

} // namespace

namespace {

// A command is stopped by its progress raising: the check must unwind from
// any of its calls, the walk's and the judging's, and leave the connection fit
// for the next check.
struct StopAt : Progress {
    explicit StopAt(int calls) : left(calls) {}
    void showWalking(const QString&, qint64) override { count(); }
    void showJudging(const QString&, qint64, qint64) override { count(); }
    void count()
    {
        ++made;
        if (left-- == 0)
            throw Exception(QStringLiteral("stopped"));
    }
    int left;
    int made = 0;
};

TEST_F(JudgeInMemoryTest, AProgressThatRaisesEndsTheCheckWhereverItIs)
{
    for (int i = 0; i < 1000; ++i)
        tree.file(QStringLiteral("d/%1/f%2").arg(i % 7).arg(i), QByteArray::number(i));
    const QString d = tree.path(QStringLiteral("d"));
    PutUnderControl(dm, d, QStringLiteral("*"));
    StopAt counting(1 << 30);
    RunCheck(dm, d, &counting);
    ASSERT_GT(counting.made, 1000) << "told of every file walked and of the judging";
    for (int stopAt : {0, 500, counting.made - 2, counting.made - 1}) {
        SCOPED_TRACE(stopAt);
        StopAt stop(stopAt);
        EXPECT_THROW(RunCheck(dm, d, &stop), Exception);
    }
    EXPECT_EQ(RunCheck(dm, d).foundBits(), 0);
}

} // namespace
