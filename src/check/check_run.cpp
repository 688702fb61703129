#include "check/check_run.h"

#include "common/file_name_codec.h"
#include "check/judge_in_memory.h"
#include "check/show_file.h"
#include "common/exception.h"
#include "common/progress.h"
#include "scan/attr_text.h"
#include "scan/directory_walk.h"
#include "scan/file_walker.h"
#include "storage/commit_at_end.h"
#include "storage/connect.h"
#include "storage/directory_rows.h"
#include "storage/dm1.h"
#include "storage/fingerprint_table.h"
#include "storage/name_columns.h"
#include "storage/registration.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

namespace {

const QString kCount = QStringLiteral("count");
// How far the walk of a check may read ahead of the rows taken: about a
// second of reading files while the baseline is read, for some 20 MB.
constexpr std::size_t kScanAhead = 1 << 17;
// The columns a check compares; the others are read for nothing.
const QString kCheckColumns = QStringLiteral("file_name,full_path,file_size,atr,crc1,crc2");

Statement selectBaseline(const QString& dir)
{
    Statement select(QStringLiteral("select id,") + kCheckColumns + QStringLiteral(" from table1 where "));
    return AppendDirectoryRows(select, dir);
}

// Reads the baseline of a registration into rows, with their fingerprints
// when the database keeps them: the rows at its directory or below that it
// owns, or, when it owns none, those no registration owns (see OwnedRows).
void readBaseline(TIBQuery& query, const Registration& registration, CheckRows& rows,
                  const std::function<void(qint64)>& read)
{
    ReadCheckRows(query, selectBaseline(registration.dir), rows, read);
    if (!HasFingerprintTable(query))
        return;
    AttachFingerprints(query, rows);
    bool owns = false;
    for (qsizetype i = 0; i < rows.size() && !owns; ++i)
        owns = rows[i].registration == registration.id;
    const qint32 owner = owns ? registration.id : 0;
    rows.keepOnly([&](const CheckRow& row) { return row.registration == owner; });
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

bool table2HasRows(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from (select first 1 1 as one from table2)"));
    return dm.IBQuery1.fieldAsInteger(kCount) > 0;
}

} // namespace

void EmptyTable2(TDM1& dm)
{
    dm.IBQuery1.executeStatement(Statement(u"delete from table2"));
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
void judgeCurrent(TDM1& dm, const QString& dir, CheckReport& report, const Judged& judged)
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
            Finding moved = Finding::of(Finding::Moved, verdict.movedTo);
            moved.from = verdict.movedFrom;
            moved.attributes = verdict.flags.contains(u'A');
            report.add(std::move(moved));
        } else if (verdict.state == param::New) {
            report.add(Finding::of(Finding::New, verdict.text));
        } else if (!verdict.flags.isEmpty()) {
            Finding changed = Finding::of(Finding::Changed, verdict.text);
            changed.size = verdict.flags.contains(u'S');
            changed.attributes = verdict.flags.contains(u'A');
            changed.contents = verdict.flags.contains(u'C');
            report.add(std::move(changed));
        }
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

namespace {

// Judges by the per-file statements, row by row: the reference that the
// in-memory judging must agree with.
void judgeByStatements(TDM1& dm, const QString& dir, CheckReport& report, Progress* progress)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const auto addDeleted = [&](const QStringList& deleted) {
        for (const QString& file : deleted)
            report.add(Finding::of(Finding::Deleted, file));
    };
    if (dm.IBQuery1.fieldAsInteger(kCount) < RunCheckInParallelFrom) {
        addDeleted(judgeBaseline(dm, dir, [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Удаленные файлы"), done, total);
        }));
        judgeCurrent(dm, dir, report, [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Текущие файлы"), done, total);
        });
    } else {
        BaselineJudge baseline(dm.IBDatabase1.databaseName(), dir);
        auto both = [&](qint64 done, qint64 total) {
            if (progress)
                progress->judging(QStringLiteral("Проверено файлов"), done + baseline.done(), total + baseline.total());
        };
        judgeCurrent(dm, dir, report, both);
        while (!baseline.waitFor(std::chrono::milliseconds(40)))
            both(0, 0);
        addDeleted(baseline.take());
    }
}

// Reads the scan in table2 and the directory's baseline once each and judges
// them in memory. False, with nothing judged, when a row of the scan lies
// outside dir (rows no walk of dir makes): the statements then judge it as
// they would.
bool judgeInMemory(TDM1& dm, const Registration& registration, CheckReport& report, Progress* progress)
{
    const QString& dir = registration.dir;
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint64 currentRows = dm.IBQuery1.fieldAsInteger(kCount);
    // Reading a row and judging it count as one step each. Counting the
    // baseline beforehand would read all of table1 once more: until it has
    // been read, it is taken to be as large as the scan.
    qint64 total = 4 * currentRows;
    auto tell = [&](qint64 done) {
        if (progress)
            progress->judging(QStringLiteral("Проверено файлов"), std::min(done, total), total);
    };

    DirectoryTable dirs;
    CheckRows current(dirs);
    ReadCheckRows(dm.IBQuery1, Statement(QStringLiteral("select ") + kCheckColumns + QStringLiteral(" from table2")),
                  current, tell);
    // Each directory once: the rows of one directory come together.
    for (qsizetype i = 0; i < current.size(); ++i)
        if ((i == 0 || current[i].dir != current[i - 1].dir)
            && !InDirectory(DecodeFileName(dirs.path(current[i].dir)), dir))
            return false;
    CheckRows baseline(dirs);
    readBaseline(dm.IBQuery1, registration, baseline, [&](qint64 read) {
        total = std::max(total, 2 * current.size() + 2 * read);
        tell(current.size() + read);
    });
    total = 2 * (current.size() + baseline.size());
    const qint64 read = current.size() + baseline.size();
    JudgeInMemory(baseline, current, report, [&](qint64 judged) { tell(read + judged); });
    return true;
}

// The check judged in memory: the walk starts reading files at once, while
// the baseline is read; the walk's rows are held in memory, never written,
// and judged in the order walked.
CheckReport checkInMemory(TDM1& dm, const Registration& registration, Progress* progress)
{
    FileWalker walker(registration.dir, registration.list.toLower(), kScanAhead);
    DirectoryTable dirs;
    CheckRows baseline(dirs);
    readBaseline(dm.IBQuery1, registration, baseline, [](qint64) {});

    CheckRows current(dirs);
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error)
            std::rethrow_exception(step.error);
        if (!step.entered)
            current.append(step.dir, step.entry.Name, step.entry.Size, AttrToText(step.entry.Attr), step.sums.crc1,
                           step.sums.crc2, step.print);
        if (progress)
            progress->walking(step.dir, current.size());
    }
    // A check that an interrupted one left rows in table2 for clears them,
    // when no other program is writing (a check never waits), and commits
    // where it always has: what the window did before it is durable from here
    // on.
    if (table2HasRows(dm) && dm.IBTransaction1.tryBeginWriting())
        EmptyTable2(dm);
    commitScan(dm);

    const qint64 total = current.size() + baseline.size();
    auto tell = [&](qint64 done) {
        if (progress)
            progress->judging(QStringLiteral("Проверено файлов"), done, total);
    };
    tell(0);
    CheckReport report;
    report.notExamined = walker.notExamined();
    JudgeInMemory(baseline, current, report, tell);
    report.strikeMovedFromDeleted();
    tell(total); // the report is ready
    return report;
}

} // namespace

CheckReport JudgeScan(TDM1& dm, const QString& dir, Progress* progress, CheckJudging judging,
                      std::optional<qint32> registration)
{
    CheckReport report;
    if (judging == CheckJudging::Statements || !NamesComparedByteForByte(dm.IBQuery1)
        || !judgeInMemory(dm, FindRegistration(dm.IBQuery1, dir, registration), report, progress))
        judgeByStatements(dm, dir, report, progress);
    report.strikeMovedFromDeleted();
    return report;
}

CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress, CheckJudging judging,
                     std::optional<qint32> registration)
{
    const Registration checked = FindRegistration(dm.IBQuery1, dir, registration);
    if (judging == CheckJudging::InMemory && NamesComparedByteForByte(dm.IBQuery1))
        return checkInMemory(dm, checked, progress);
    // The scan goes through table2, which one program at a time may write.
    dm.IBTransaction1.beginWriting();
    EmptyTable2(dm);
    NotExaminedList notExamined = ScanToCurrent(dm, dir, checked.list, progress);
    commitScan(dm);
    CheckReport report = JudgeScan(dm, dir, progress, judging, checked.id);
    report.notExamined = std::move(notExamined);
    dm.IBTransaction1.beginWriting();
    EmptyTable2(dm);
    return report;
}
