#pragma once

#include "packages/installed_package.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The files dpkg keeps per package in admindir/info: NAME.list, the paths
// it installed, and NAME.md5sums, "md5  path" with the path relative to the
// root. NAME is name:arch for a Multi-Arch: same package, the name alone
// otherwise. A package whose file is missing gives nothing, as dpkg takes
// such a package to have no files.

// Calls each with each path of package's .list ("/." is the root, "/").
void ForEachListedPath(const QString& admindir, const InstalledPackage& package,
                       const std::function<void(QByteArrayView path)>& each);

// Calls each with each path of package's .md5sums, made absolute, and its MD5.
void ForEachMd5sum(const QString& admindir, const InstalledPackage& package,
                   const std::function<void(QByteArrayView path, QByteArrayView md5)>& each);
// The same for the text of an md5sums file (a .deb's own, say).
void ForEachMd5sumLine(QByteArrayView text, const std::function<void(QByteArrayView path, QByteArrayView md5)>& each);
