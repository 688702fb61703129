#pragma once

#include "packages/package_owner.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class DpkgDatabase;

// A file a maintainer script or a trigger made, and the package whose change
// since the baseline made it run.
struct ScriptMade {
    PackageOwner package;
    QString rule; // the key of its rule: "python-bytecode", "alternative"...

    bool operator==(const ScriptMade&) const = default;
};

// Tells, for a file no package ships, whether a script of a package changed
// since the baseline made it. A new or changed file must be, by evidence on
// disk, what the script would have made now, never only by its name, so that
// a file planted where such files lie is not explained; a deleted one, one
// the changed package's scripts remove. Every file is read one name at a time
// from the root, never through a link out of it. For the ld.so.cache of
// another root, ldconfig (run only as root) writes its cache into a private
// directory it is given at the top of that root for the while. Not for use
// from two threads at once: what is read once is kept.
class ScriptMadeRules {
public:
    // now: the package database under its root; changed: the packages
    // installed, upgraded or removed since the baseline (name and
    // architecture are what count).
    ScriptMadeRules(const DpkgDatabase& now, std::vector<PackageOwner> changed);
    ~ScriptMadeRules();

    // The rule whose evidence holds for the file at path (absolute, as seen
    // from inside the root), found new or changed, or deleted; none where no
    // rule's does.
    std::optional<ScriptMade> explain(const QString& path, bool deleted) const;

    // The root's files, the packages and what was read of them, that the
    // rules share.
    struct State;

private:
    std::unique_ptr<State> m_state;
};
