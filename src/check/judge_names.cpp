#include "check/judge_names.h"

#include "check/judge_directories.h"
#include "check/judge_in_memory.h"
#include "check/walked_step.h"
#include "common/exception.h"
#include "common/progress.h"
#include "common/shown_name.h"
#include "rows/baseline_rows.h"
#include "rows/check_rows.h"
#include "rows/directory_prints.h"
#include "rows/directory_rows.h"
#include "rows/registration.h"
#include "scan/attr_text.h"
#include "scan/directory_entries.h"
#include "scan/ext_matches.h"
#include "scan/file_walker.h"
#include "scan/pseudo_file_systems.h"
#include "storage/dm1.h"

#include <QSet>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

namespace {

// The full name a finding gives a name: a directory's with its "/".
QString fullNameOf(const JudgedName& name)
{
    return name.scope == JudgedName::File ? name.path : DirectoryFullName(name.path);
}

// What stands at a file's place now, as a walk of root would have recorded
// it. Returns false for nothing to record: gone, a directory now (its own
// events tell of it), or not to be looked at (named in notExamined).
bool examineFile(const QString& root, const QString& dir, const QString& name, CheckRows& current,
                 NotExaminedList& notExamined)
{
    DirectoryEntry entry;
    FileSums sums{0, 0};
    const int error = ExamineNameIn(root, JoinPath(dir, name), entry, sums);
    if (error == ENOENT || (error == 0 && entry.walkInto))
        return false;
    if (error != 0) {
        notExamined.append({ShownName(JoinPath(dir, name)), NotExaminedReason(error)});
        return false;
    }
    current.append(dir, entry.rec.Name, entry.rec.Size, AttrToText(entry.rec.Attr), sums.crc1, sums.crc2, &entry.print);
    return true;
}

} // namespace

CoveredNames::CoveredNames(const QList<JudgedName>& names)
{
    for (const JudgedName& name : names)
        (name.scope == JudgedName::Tree ? m_trees : m_names).insert(name.scope == JudgedName::Tree ? name.path : fullNameOf(name));
}

bool CoveredNames::covers(const QString& fullName) const
{
    if (m_names.contains(fullName))
        return true;
    if (m_trees.isEmpty())
        return false;
    for (QString path = fullName.size() > 1 && fullName.endsWith(u'/') ? fullName.chopped(1) : fullName;;
         path = ParentOf(path)) {
        if (m_trees.contains(path))
            return true;
        if (path == u"/")
            return false;
    }
}

CheckReport JudgeNames(TDM1& dm, const Registration& registration, const QList<JudgedName>& given, Progress* progress)
{
    const QString lowerList = registration.list.toLower();
    QList<JudgedName> givenTrees;
    for (const JudgedName& name : given)
        if (name.scope == JudgedName::Tree)
            givenTrees.append(name);
    const CoveredNames inTrees(givenTrees);
    QList<JudgedName> names;
    QSet<QString> taken;
    for (const JudgedName& name : given) {
        const QString key = QString::number(int(name.scope)) + name.path;
        if (!InDirectory(name.path, registration.dir) || taken.contains(key))
            continue;
        // Judged with the tree that holds it.
        if (name.scope == JudgedName::Tree ? name.path != u"/" && inTrees.covers(ParentOf(name.path))
                                           : inTrees.covers(name.path))
            continue;
        if (name.scope == JudgedName::File
            && (name.path == registration.dir || !ExtMatches(FileExtension(NameOf(name.path)).toLower(), lowerList)))
            continue;
        taken.insert(key);
        names.append(name);
    }
    const CoveredNames covered(names);
    CheckReport report;
    if (names.isEmpty())
        return report;

    // What is on disk now at the names: the files, and the trees walked.
    DirectoryTable dirs;
    CheckRows current(dirs);
    DirectoryPrints walkedDirectories;
    const PseudoFileSystems pseudo = PseudoFileSystems::mounted();
    for (const JudgedName& name : names) {
        if (progress)
            progress->walking(name.path, current.size());
        switch (name.scope) {
        case JudgedName::File:
            examineFile(registration.dir, ParentOf(name.path), NameOf(name.path), current, report.notExamined);
            break;
        case JudgedName::Directory: {
            DirectoryHandle itself;
            struct stat self {};
            const int error = DirectoryHandle::openBeneath(registration.dir, name.path, itself, self);
            if (error == 0 && !pseudo.contains(self.st_dev))
                walkedDirectories.push_back({name.path, DirectoryFingerprint(itself, self)});
            else if (error != 0 && error != ENOENT && error != ENOTDIR && error != ELOOP)
                walkedDirectories.push_back({name.path, std::nullopt});
            break;
        }
        case JudgedName::Tree: {
            // A tree below the registered directory is walked from a
            // directory opened from that one, through no link.
            DirectoryHandle parent;
            struct stat self {};
            const int opened = DirectoryHandle::openBeneath(registration.dir, ParentOf(name.path), parent, self);
            if (name.path != registration.dir && opened != 0) {
                if (opened != ENOENT && opened != ENOTDIR && opened != ELOOP)
                    report.notExamined.append({ShownName(name.path), NotExaminedReason(opened)});
                break;
            }
            FileWalker walker(name.path, lowerList, FileWalker::kDefaultAhead,
                              name.path != registration.dir ? &parent : nullptr);
            FileWalker::Step step;
            while (walker.next(step)) {
                if (step.error)
                    std::rethrow_exception(step.error);
                if (step.entered && !step.unexamined && !S_ISDIR(step.print.mode) && name.path != registration.dir) {
                    // No directory now: the tree is gone, and what stands in
                    // its place is a name of its own.
                    if (ExtMatches(FileExtension(NameOf(name.path)).toLower(), lowerList))
                        examineFile(registration.dir, ParentOf(name.path), NameOf(name.path), current,
                                    report.notExamined);
                } else {
                    AddWalkedStep(step, current, walkedDirectories);
                }
                if (progress)
                    progress->walking(step.dir, current.size());
            }
            report.notExamined.append(walker.notExamined());
            break;
        }
        }
    }

    // The baseline at the names; then, of the files found where the baseline
    // has none, the rows of their names elsewhere in the tree, where they may
    // have moved from. What stands at those places now tells a move (the
    // place is empty) from a copy (it is not); their own findings are theirs
    // to report.
    CheckRows baseline(dirs);
    BaselineNames wanted;
    for (const JudgedName& name : names) {
        if (name.scope == JudgedName::File)
            wanted.at[ParentOf(name.path)].append(NameOf(name.path));
        else if (name.scope == JudgedName::Tree)
            wanted.trees.append(name.path);
    }
    ReadBaselineRowsNamed(dm.IBQuery1, registration, wanted, baseline);
    QSet<QString> recordedPlaces;
    for (qsizetype b = 0; b < baseline.size(); ++b)
        recordedPlaces.insert(baseline.fullName(baseline[b]));
    BaselineNames movedFrom;
    for (qsizetype c = 0; c < current.size(); ++c)
        if (!recordedPlaces.contains(current.fullName(current[c])))
            movedFrom.anywhere.append(NameOf(current.fullName(current[c])));
    if (!movedFrom.anywhere.isEmpty()) {
        movedFrom.anywhere.removeDuplicates();
        ReadBaselineRowsNamed(dm.IBQuery1, registration, movedFrom, baseline);
        for (qsizetype b = 0; b < baseline.size(); ++b) {
            const QString place = baseline.fullName(baseline[b]);
            if (!covered.covers(place) && !recordedPlaces.contains(place)) {
                recordedPlaces.insert(place);
                NotExaminedList theirs;
                examineFile(registration.dir, ParentOf(place), NameOf(place), current, theirs);
            }
        }
    }

    // Directories are judged where a name is one.
    if (std::any_of(names.begin(), names.end(), [](const JudgedName& name) { return name.scope != JudgedName::File; })) {
        const DirectoryPrints allRecorded = ReadDirectoryPrints(dm.IBQuery1, registration.id);
        DirectoryPrints recordedDirectories;
        for (const DirectoryPrint& directory : allRecorded)
            if (covered.covers(DirectoryFullName(directory.path)))
                recordedDirectories.push_back(directory);
        JudgeDirectories(recordedDirectories, walkedDirectories, report, !allRecorded.empty());
    }
    JudgeInMemory(baseline, current, report, [](qint64) {});
    report.strikeMovedFromDeleted();
    report.findings.removeIf([&](const Finding& finding) { return !covered.covers(finding.file); });
    return report;
}
