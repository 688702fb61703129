#include "check/judge_directories.h"

#include "scan/fingerprint_fields.h"

#include <QHash>

namespace {

Finding directoryFinding(Finding::Kind kind, const QString& path)
{
    Finding finding = Finding::of(kind, DirectoryFullName(path));
    finding.directory = true;
    return finding;
}

} // namespace

QString DirectoryFullName(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

void JudgeDirectories(const DirectoryPrints& recorded, const DirectoryPrints& walked, CheckReport& report)
{
    JudgeDirectories(recorded, walked, report, !recorded.empty());
}

void JudgeDirectories(const DirectoryPrints& recorded, const DirectoryPrints& walked, CheckReport& report,
                      bool recordsDirectories)
{
    if (!recordsDirectories)
        return;
    QHash<QString, const DirectoryPrint*> then;
    for (const DirectoryPrint& directory : recorded)
        then.insert(directory.path, &directory);
    QHash<QString, const DirectoryPrint*> now;
    for (const DirectoryPrint& directory : walked)
        now.insert(directory.path, &directory);

    for (const DirectoryPrint& directory : recorded)
        if (!now.contains(directory.path))
            report.add(directoryFinding(Finding::Deleted, directory.path));
    for (const DirectoryPrint& directory : walked) {
        const DirectoryPrint* old = then.value(directory.path);
        if (!old) {
            if (directory.print) // else not examined, and listed so
                report.add(directoryFinding(Finding::New, directory.path));
            continue;
        }
        if (!old->print || !directory.print
            || SameFingerprint(*old->print, *directory.print, FingerprintField::Attributes))
            continue;
        Finding changed = directoryFinding(Finding::Changed, directory.path);
        changed.attributes = true;
        changed.setStates(0, old->print, 0, directory.print);
        report.add(std::move(changed));
    }
}
