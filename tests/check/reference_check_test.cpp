#include "check/check_run.h"
#include "check/report_text.h"
#include "common/exception.h"
#include "common/progress.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "support/database_fixture.h"
#include "support/reference/check_reference_judge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include <sys/stat.h>

// The check against the reference check's per-file statements (ReferenceCheck),
// on random trees and changes: where the rows' own columns decide, both must
// give the same report, line for line and in the same order; a change that
// only a fingerprint shows is the check's to report and the statements' to
// miss.
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
// Modes that the attribute text shows (the owner's write bit), and modes it
// does not.
const QList<mode_t> kShownModes{0444, 0644};
const QList<mode_t> kHiddenModes{0646, 0604, 04644, 0744};

class Scenario {
public:
    Scenario(const QString& root, unsigned start) : m_root(root), m_rng(start) {}

    QString dir() const { return m_root + QStringLiteral("/d"); }

    // Files in d, and beside it in directories whose names d begins or ends
    // with but which are no part of it.
    void plant()
    {
        for (int i = 0; i < 40; ++i)
            write(place(QStringLiteral("d")));
        for (int i = 0; i < 6; ++i)
            write(place(pick(QStringList{QStringLiteral("d2"), QStringLiteral("D"), QStringLiteral("x/d")})));
    }

    // Deletes, moves, copies, renames, rewrites and makes read-only or
    // writable again some of d's files, and adds a few.
    void change()
    {
        for (const QString& file : files()) {
            switch (std::uniform_int_distribution<int>(0, 9)(m_rng)) {
            case 0:
                QFile::remove(file);
                break;
            case 1: // moved, perhaps onto another file
                moveTo(file, place(QStringLiteral("d")), &QFile::rename);
                break;
            case 2: // copied elsewhere, the source left in place
                moveTo(file, place(QStringLiteral("d")), &QFile::copy);
                break;
            case 3: // renamed in its directory
                QFile::rename(file, QFileInfo(file).absolutePath() + u'/' + pick(kNames));
                break;
            case 4:
                write(file);
                break;
            case 5:
                setMode(file, pick(kShownModes));
                break;
            default:
                break;
            }
        }
        for (int i = 0; i < 6; ++i)
            write(place(QStringLiteral("d")));
    }

    // Changes the mode of some of d's files in bits the attribute text does not
    // show; returns their names below d.
    QStringList changeHiddenModes()
    {
        QStringList changed;
        for (const QString& file : files())
            if (chance(30)) {
                setMode(file, pick(kHiddenModes));
                changed.append(file.mid(dir().size() + 1));
            }
        return changed;
    }

private:
    template<typename T>
    const T& pick(const QList<T>& from)
    {
        return from[std::uniform_int_distribution<qsizetype>(0, from.size() - 1)(m_rng)];
    }
    bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(m_rng) < percent; }

    QString place(const QString& top)
    {
        const QString sub = pick(kDirs);
        return m_root + u'/' + top + (sub.isEmpty() ? QString() : u'/' + sub) + u'/' + pick(kNames);
    }
    static void setMode(const QString& file, mode_t mode) { ::chmod(QFile::encodeName(file).constData(), mode); }
    void write(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pick(kContents));
        file.close();
        setMode(path, 0644);
    }
    static void moveTo(const QString& from, const QString& to, bool (*how)(const QString&, const QString&))
    {
        QDir().mkpath(QFileInfo(to).absolutePath());
        QFile::remove(to);
        const QFile::Permissions mode = QFile::permissions(from);
        how(from, to);
        QFile::setPermissions(to, mode);
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

    QString m_root;
    std::mt19937 m_rng;
};

class ReferenceCheckTest : public DatabaseFixture {
protected:
    void commit()
    {
        dm.IBTransaction1.commit();
        dm.IBTransaction1.startTransaction();
    }
};

TEST_F(ReferenceCheckTest, GivesTheStatementsReportWhereTheColumnsDecide)
{
    // One database for every round: the rows of earlier rounds stay, as on a
    // machine with several directories under control.
    int found = 0;
    for (unsigned round = 1; round <= 20; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Scenario scenario(tree.dir(QStringLiteral("r%1").arg(round)), round);
        scenario.plant();
        // Registered beside another directory, or removed and registered
        // again, so that the rows come back in an order that is not their ids'.
        if (round % 3 == 0)
            PutUnderControl(dm, tree.path(QStringLiteral("r%1/d2").arg(round)), QStringLiteral("*"));
        if (round % 4 == 0) {
            PutUnderControl(dm, scenario.dir(), QStringLiteral("*"));
            commit();
            RemoveFromControl(dm, scenario.dir());
            commit();
        }
        PutUnderControl(dm, scenario.dir(), QStringLiteral("*"));
        scenario.change();
        const CheckReport check = RunCheck(dm, scenario.dir());
        const CheckReport reference = ReferenceCheck(dm, scenario.dir());
        EXPECT_EQ(ReportText(check), ReportText(reference));
        EXPECT_EQ(check.foundBits(), reference.foundBits());
        found |= reference.foundBits();
    }
    EXPECT_EQ(found, kFoundNew | kFoundDeleted | kFoundChanged | kFoundMoved) << "the rounds find every kind of change";
}

TEST_F(ReferenceCheckTest, SeesWhatOnlyTheFingerprintShowsWhereTheStatementsSeeNothing)
{
    for (unsigned round = 1; round <= 6; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Scenario scenario(tree.dir(QStringLiteral("r%1").arg(round)), 100 + round);
        scenario.plant();
        PutUnderControl(dm, scenario.dir(), QStringLiteral("*"));
        const QStringList changed = scenario.changeHiddenModes();
        QStringList expected;
        for (const QString& file : changed)
            expected.append(file + QStringLiteral(" изменены атрибуты файла,"));
        EXPECT_EQ(sorted(check(scenario.dir()).changed), sorted(expected));
        EXPECT_EQ(ReferenceCheck(dm, scenario.dir()).foundBits(), 0);
    }
}

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

TEST_F(ReferenceCheckTest, AProgressThatRaisesEndsTheCheckWhereverItIs)
{
    for (int i = 0; i < 1000; ++i)
        tree.file(QStringLiteral("d/%1/f%2").arg(i % 7).arg(i), QByteArray::number(i));
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    StopAt counting(1 << 30);
    RunCheck(dm, dir(), &counting);
    ASSERT_GT(counting.made, 1000) << "told of every file walked and of the judging";
    for (int stopAt : {0, 500, counting.made - 2, counting.made - 1}) {
        SCOPED_TRACE(stopAt);
        StopAt stop(stopAt);
        EXPECT_THROW(RunCheck(dm, dir(), &stop), Exception);
    }
    EXPECT_EQ(RunCheck(dm, dir()).foundBits(), 0);
}

} // namespace
