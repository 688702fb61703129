#pragma once

#include "packages/installed_package.h"

#include <QString>

#include <vector>

// The packages recorded in admindir's status file, with the records of its
// updates directory that dpkg has not yet merged into it; packages whose
// state is not-installed are left out.
std::vector<InstalledPackage> ReadDpkgStatus(const QString& admindir);
