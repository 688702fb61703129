#include "check/check_run.h"

#include "check/show_file.h"
#include "common/exception.h"
#include "common/progress.h"
#include "scan/directory_walk.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/directory_rows.h"
#include "storage/dm1.h"

#include <QSet>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

namespace {

const QString kCount = QStringLiteral("count");

QString extensionList(TDM1& dm, const QString& dir)
{
    dm.IBQuery1.openStatement(Statement(u"select * from tab where file_name=").quoted(dir));
    if (dm.IBQuery1.fieldIsNull(QStringLiteral("id")))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    return dm.IBQuery1.fieldAsString(QStringLiteral("ext"));
}

// Moves IBQuery1 on to the next row to judge. The lookup on IBQuery2 has been
// read by then; closing it first spares running it again through the master
// link only for its result to be thrown away.
void nextRow(TDM1& dm)
{
    dm.IBQuery2.close();
    dm.IBQuery1.next();
}

void commitScan(TDM1& dm)
{
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
}

} // namespace

void EmptyTable2(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint32 count = dm.IBQuery1.fieldAsInteger(kCount);
    if (count == 0)
        return;
    const Statement all(u"select * from table2");
    dm.IBQuery2.openStatement(all);
    const qint32 first = dm.IBQuery2.fieldAsInteger(QStringLiteral("id"));
    dm.IBQuery2.executeStatement(Statement(u"delete from table2 where id=").number(first));
    // IBQuery2 keeps its place while IBQuery1 only executes deletes.
    dm.IBQuery2.openStatement(all);
    for (qint32 i = 1; i < count; ++i) {
        if (i > 1)
            dm.IBQuery2.next();
        dm.IBQuery1.executeStatement(Statement(u"delete from table2 where id=").number(dm.IBQuery2.fieldAsInteger(QStringLiteral("id"))));
    }
}

namespace {

using Judged = std::function<void(qint64 done, qint64 total)>;

// Pass 1: the full names of the baseline rows of dir whose file is gone.
QStringList judgeBaseline(TDM1& dm, const QString& dir, const Judged& judged)
{
    QStringList deleted;
    Statement countBaseline(u"select count(*) from table1 where ");
    dm.IBQuery1.openStatement(AppendDirectoryRows(countBaseline, dir));
    const qint32 baselineRows = dm.IBQuery1.fieldAsInteger(kCount);
    if (baselineRows == 0)
        return deleted;
    Statement baseline(u"select * from table1 where ");
    dm.IBQuery1.openStatement(AppendDirectoryRows(baseline, dir));
    for (qint32 i = 0; i < baselineRows; ++i) {
        if (i > 0)
            nextRow(dm);
        const param verdict = CheckBaselineFile(dm.IBQuery1, dm.IBQuery2);
        if (verdict.state == param::Deleted)
            deleted.append(verdict.text);
        judged(i + 1, baselineRows);
    }
    return deleted;
}

// Pass 2: every file of the new scan, moved, new or changed.
void judgeCurrent(TDM1& dm, const QString& dir, CheckReport& report, QSet<QString>& movedFrom, const Judged& judged)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint32 currentRows = dm.IBQuery1.fieldAsInteger(kCount);
    if (currentRows == 0)
        return;
    dm.IBQuery1.openStatement(Statement(u"select * from table2"));
    for (qint32 i = 0; i < currentRows; ++i) {
        if (i > 0)
            nextRow(dm);
        const param verdict = CompareCurrentFile(dm.IBQuery2, dm.IBQuery1, dir);
        if (verdict.state == param::Moved) {
            report.moved.append(verdict.text);
            report.movedFrom.append(verdict.movedFrom);
            movedFrom.insert(verdict.movedFrom);
        } else if (verdict.state == param::New) {
            report.added.append(verdict.text);
        }
        for (QChar letter : verdict.flags)
            report.changed.append(ChangeLine(verdict.text, letter));
        judged(i + 1, currentRows);
    }
}

// Pass 1 on a connection of its own, on a thread of its own, while pass 2 runs
// on the program's connection: both only read what the commit after the walk
// has just made durable, so each sees exactly what the other would.
class BaselineJudge {
public:
    BaselineJudge(const QString& databaseName, const QString& dir)
        : m_result(std::async(std::launch::async, [this, databaseName, dir] {
              TDM1 own;
              ConnectDM1(own, databaseName);
              return CommitAtEnd(own, [&] {
                  return judgeBaseline(own, dir, [this](qint64 done, qint64 total) {
                      m_done = done;
                      m_total = total;
                  });
              });
          }))
    {
    }
    ~BaselineJudge()
    {
        if (m_result.valid())
            m_result.wait();
    }

    qint64 done() const { return m_done; }
    qint64 total() const { return m_total; }
    bool waitFor(std::chrono::milliseconds time) const { return m_result.wait_for(time) == std::future_status::ready; }
    QStringList take() { return m_result.get(); }

private:
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::future<QStringList> m_result;
};

} // namespace

CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress)
{
    CheckReport report;
    const QString list = extensionList(dm, dir);
    EmptyTable2(dm);
    ScanToCurrent(dm, dir, list, progress);
    commitScan(dm);

    QSet<QString> movedFrom;
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    if (dm.IBQuery1.fieldAsInteger(kCount) < RunCheckInParallelFrom) {
        report.deleted = judgeBaseline(dm, dir, [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Удаленные файлы"), done, total);
        });
        judgeCurrent(dm, dir, report, movedFrom, [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Текущие файлы"), done, total);
        });
    } else {
        BaselineJudge baseline(dm.IBDatabase1.databaseName(), dir);
        auto both = [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Проверено файлов"), done + baseline.done(), total + baseline.total());
        };
        judgeCurrent(dm, dir, report, movedFrom, both);
        while (!baseline.waitFor(std::chrono::milliseconds(40)))
            both(0, 0);
        report.deleted = baseline.take();
    }

    EmptyTable2(dm);

    // A moved file is missing from its old place, so pass 1 listed that place
    // as deleted too. Only the exact old names are struck: a substring test
    // would also strike /d/a.txt because /d/a.txt.bak moved.
    if (!movedFrom.isEmpty())
        report.deleted.removeIf([&](const QString& line) { return movedFrom.contains(line); });
    return report;
}
