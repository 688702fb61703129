#include "scan/directory_walk.h"

#include "common/progress.h"
#include "scan/file_walker.h"
#include "scan/insert_record.h"
#include "storage/dm1.h"

namespace {

using InsertRoutine = void (*)(TIBQuery&, const QString&, const TSearchRec&, IdCounter*, const FileSums*);

void walk(TIBQuery& query, InsertRoutine insert, const QString& dir, const QString& list, Progress* progress)
{
    FileWalker walker(dir, list.toLower());
    IdCounter ids;
    qint64 recorded = 0;
    FileWalker::Step step;
    while (walker.next(step)) {
        if (step.error)
            std::rethrow_exception(step.error);
        if (!step.entered) {
            insert(query, step.dir, step.entry, &ids, &step.sums);
            ++recorded;
        }
        if (progress)
            progress->walking(step.dir, recorded);
    }
}

} // namespace

void ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    walk(dm.IBQuery1, InsertBaselineRecord, dir, list, progress);
}

void ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    walk(dm.IBQuery1, InsertCurrentRecord, dir, list, progress);
}
