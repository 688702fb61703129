#include "check/check_run.h"

#include "check/judge_directories.h"
#include "check/judge_in_memory.h"
#include "check/seal_verdict.h"
#include "common/progress.h"
#include "rows/baseline_rows.h"
#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "rows/registration.h"
#include "rows/seal_rows.h"
#include "scan/attr_text.h"
#include "scan/file_walker.h"
#include "storage/dm1.h"

namespace {

// How far the walk of a check may read ahead of the rows taken: about a
// second of reading files while the baseline is read, for some 20 MB.
constexpr std::size_t kScanAhead = 1 << 17;

} // namespace

CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress, std::optional<qint32> registration,
                     const SealKey* publicKey)
{
    const Registration checked = FindRegistration(dm.IBQuery1, dir, registration);
    FileWalker walker(checked.dir, checked.list.toLower(), kScanAhead);
    DirectoryTable dirs;
    CheckRows baseline(dirs);
    ReadBaselineRows(dm.IBQuery1, checked, baseline, [](qint64) {});
    const DirectoryPrints recordedDirectories = ReadDirectoryPrints(dm.IBQuery1, checked.id);
    const SealVerdict seal = VerifySeal(dm.IBQuery1, publicKey, checked.id, [&] {
        return RegistrationDigest(checked, baseline, recordedDirectories);
    });

    CheckRows current(dirs);
    DirectoryPrints walkedDirectories;
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error)
            std::rethrow_exception(step.error);
        if (!step.entered)
            current.append(step.dir, step.entry.Name, step.entry.Size, AttrToText(step.entry.Attr), step.sums.crc1,
                           step.sums.crc2, &step.print);
        else if (step.unexamined)
            walkedDirectories.push_back({step.dir, std::nullopt});
        else
            walkedDirectories.push_back({step.dir, std::move(step.print)});
        if (progress)
            progress->walking(step.dir, current.size());
    }
    // The commit comes where it always has: what the window did before the
    // check is durable from here on.
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();

    const qint64 total = current.size() + baseline.size();
    auto tell = [&](qint64 done) {
        if (progress)
            progress->judging(QStringLiteral("Проверено файлов"), done, total);
    };
    tell(0);
    CheckReport report;
    report.notExamined = walker.notExamined();
    report.sealLines = SealLines(seal);
    report.sealBroken = seal.broken();
    JudgeDirectories(recordedDirectories, walkedDirectories, report);
    JudgeInMemory(baseline, current, report, tell);
    report.strikeMovedFromDeleted();
    tell(total); // the report is ready
    return report;
}
