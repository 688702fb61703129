#include "check/walked_step.h"

#include "scan/attr_text.h"

bool AddWalkedStep(FileWalker::Step& step, CheckRows& files, DirectoryPrints& directories)
{
    if (!step.entered) {
        files.append(step.dir, step.entry.Name, step.entry.Size, AttrToText(step.entry.Attr), step.sums.crc1,
                     step.sums.crc2, &step.print);
        return true;
    }
    if (step.unexamined)
        directories.push_back({step.dir, std::nullopt});
    else
        directories.push_back({step.dir, std::move(step.print)});
    return false;
}
