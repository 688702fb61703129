#pragma once

#include "packages/package_root.h"
#include "rows/registration.h"

class TIBQuery;

// Records, with a registration's baseline, every package installed in the
// package database under root, with its version, and of those that have
// files at or below its directory what dpkg recorded of them; a later check
// tells from them what the package manager changed since. Where no dpkg
// database is there, or the directory lies outside root, the registration
// keeps none.
void RecordPackages(TIBQuery& query, const Registration& registration, const QString& root = PackageRoot());
