#pragma once

#include <QStringView>

#include <sys/types.h>
#include <vector>

// Whether a file system type, as the mount table names it ("proc", "sysfs",
// "cgroup2", ...), is one of the kernel's interfaces dressed as files. Their
// files are not contents to watch: many cannot be read, and some block on
// reading. Disk, memory (tmpfs) and network file systems are not among them.
bool IsPseudoFileSystemType(QStringView type);

// The devices of the pseudo file systems mounted when it was made, read from
// the mount table (/proc/self/mountinfo). A file's st_dev tells its file
// system, so a walk can recognise one at any path it reaches it by.
class PseudoFileSystems {
public:
    // Nothing is pseudo: for a machine without a mount table.
    PseudoFileSystems() = default;
    static PseudoFileSystems mounted();

    bool contains(dev_t device) const;

private:
    std::vector<dev_t> m_devices;
};
