#pragma once

#include "packages/package_root.h"
#include "rows/registration.h"

class TIBQuery;

// Records, with a registration's baseline, the packages that have files at
// or below its directory, of the package database under root, each with its version and what
// dpkg recorded of its files; a later check tells from them what the package
// manager changed since. Where no dpkg database is there, or the directory
// lies outside the package root, the registration keeps none.
void RecordPackages(TIBQuery& query, const Registration& registration, const QString& root = PackageRoot());
