#include "scan/directory_walk.h"

#include "common/progress.h"
#include "scan/attr_text.h"
#include "scan/directory_entries.h"
#include "scan/ext_matches.h"
#include "scan/insert_record.h"
#include "storage/dm1.h"

namespace {

using InsertRoutine = void (*)(TIBQuery&, const QString&, const TSearchRec&, IdCounter*);

struct Walk {
    TIBQuery& query;
    InsertRoutine insert;
    QString lowerList;
    Progress* progress;
    IdCounter ids;
    qint64 recorded = 0;

    void run(const QString& dir)
    {
        // The entries are read in full before any of them is handled, so that a
        // deep tree does not hold one open directory per level.
        std::vector<TSearchRec> entries;
        if (!ListDirectory(dir, entries))
            return;
        if (progress)
            progress->walking(dir, recorded);
        for (const TSearchRec& entry : entries) {
            if (IsDirectoryAttr(entry.Attr)) {
                run(JoinPath(dir, entry.Name));
            } else if (ExtMatches(FileExtension(entry.Name).toLower(), lowerList)) {
                insert(query, dir, entry, &ids);
                ++recorded;
                if (progress)
                    progress->walking(dir, recorded);
            }
        }
    }
};

} // namespace

void ScanToBaseline(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    Walk{dm.IBQuery1, InsertBaselineRecord, list.toLower(), progress, {}}.run(dir);
}

void ScanToCurrent(TDM1& dm, const QString& dir, const QString& list, Progress* progress)
{
    Walk{dm.IBQuery1, InsertCurrentRecord, list.toLower(), progress, {}}.run(dir);
}
