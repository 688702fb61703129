#include "check/check_run.h"

#include "check/judge_directories.h"
#include "check/judge_in_memory.h"
#include "check/walked_step.h"
#include "common/progress.h"
#include "rows/baseline_rows.h"
#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "rows/registration.h"
#include "scan/file_walker.h"
#include "seal/seal_rows.h"
#include "seal/seal_verdict.h"
#include "storage/dm1.h"

namespace {

// How far the walk may read ahead of the steps taken.
constexpr std::size_t kScanAhead = 8192;

// How many of the walk's files a check holds, at the most, while the baseline
// is read: the walk goes on meanwhile, and once the baseline is there every
// file is judged as it comes (see FileJudge).
constexpr qsizetype kHeldAtMost = 1 << 20;

// The walk's side of a check, taken a step at a time.
class WalkedSide {
public:
    WalkedSide(DirectoryTable& dirs, Progress* progress) : m_files(dirs), m_progress(progress) {}

    // Takes what the walk has ready now, while the files held are few enough.
    void takeReady(FileWalker& walker)
    {
        FileWalker::Step step;
        while (!m_error && m_files.size() < kHeldAtMost && walker.tryNext(step))
            take(step);
    }

    // Takes the rest of the walk, each file judged as it comes; raises what
    // ended the walk early.
    void takeAll(FileWalker& walker, FileJudge& judge)
    {
        judge.take(m_files);
        m_files.clear();
        FileWalker::Step step;
        while (!m_error && walker.next(step)) {
            take(step);
            if (m_files.size() == kJudgedTogether) {
                judge.take(m_files);
                m_files.clear();
            }
        }
        judge.take(m_files);
        m_files.clear();
        if (m_error)
            std::rethrow_exception(m_error);
    }

    qint64 files() const { return m_count; }
    DirectoryPrints directories;

private:
    static constexpr qsizetype kJudgedTogether = 1024;

    void take(FileWalker::Step& step)
    {
        if (step.error) {
            m_error = step.error;
        } else if (AddWalkedStep(step, m_files, directories)) {
            ++m_count;
        }
        if (m_progress)
            m_progress->walking(step.dir, m_count);
    }

    CheckRows m_files; // taken, not yet judged
    qint64 m_count = 0;
    Progress* m_progress;
    std::exception_ptr m_error; // the file that could not be read: the walk ends there
};

} // namespace

CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress, std::optional<qint32> registration,
                     const SealKey* publicKey, bool inChange)
{
    const Registration checked = FindRegistration(dm.IBQuery1, dir, registration);
    DirectoryTable dirs;
    CheckRows baseline(dirs);
    FileWalker walker(checked.dir, checked.list.toLower(), kScanAhead);
    WalkedSide walked(dirs, progress);
    // The walk goes on while the baseline is read; what it hands over
    // meanwhile waits to be judged until the baseline is there.
    ReadBaselineRows(dm.IBQuery1, checked, baseline, [&] { walked.takeReady(walker); });
    const DirectoryPrints recordedDirectories = ReadDirectoryPrints(dm.IBQuery1, checked.id);
    PackageRecords packages = ReadPackageRecords(dm.IBQuery1, checked.id);
    const LogEntries accepts = ReadAccepts(dm.IBQuery1, checked.id);
    const SealVerdict seal = VerifySeal(dm.IBQuery1, publicKey, {checked.id}, [&](const Registration&, int fieldSet) {
        return RegistrationDigest(checked, baseline, recordedDirectories, fieldSet, packages, accepts);
    });
    FileJudge judge(baseline);
    walked.takeAll(walker, judge);
    const DirectoryPrints& walkedDirectories = walked.directories;
    // The commit comes where it always has: what the window did before the
    // check is durable from here on.
    if (!inChange) {
        dm.IBTransaction1.commit();
        dm.IBTransaction1.startTransaction();
    }

    const qint64 total = walked.files() + baseline.size();
    auto tell = [&](qint64 done) {
        if (progress)
            progress->judging(QStringLiteral("Проверено файлов"), done, total);
    };
    tell(0);
    CheckReport report;
    report.notExamined = walker.notExamined();
    report.sealLines = SealLines(seal);
    report.sealBroken = seal.broken();
    report.sealStamp = SealStamp(seal);
    report.packages = std::move(packages);
    JudgeDirectories(recordedDirectories, walkedDirectories, report);
    judge.finish(report, tell);
    report.strikeMovedFromDeleted();
    tell(total); // the report is ready
    return report;
}
