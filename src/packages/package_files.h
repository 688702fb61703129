#pragma once

#include "packages/installed_package.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

class MergedUsr;

// What dpkg recorded of a package's files, as one text a baseline keeps: a
// line "MD5 PATH" for each path of its .list, spelt as on disk (see
// MergedUsr), with "-" for a path without an MD5 (a directory, a link) and a
// conffile's MD5 from the status file. A package with no .list gives an
// empty text.
QByteArray PackageFilesText(const QString& admindir, const MergedUsr& mergedUsr, const InstalledPackage& package);

// Calls each with each line's path and MD5 ("-" for none).
void ForEachPackageFile(QByteArrayView text, const std::function<void(QByteArrayView path, QByteArrayView md5)>& each);

// Whether path lies at or below dir (both absolute, as dpkg spells them).
bool PathBelow(QByteArrayView path, QByteArrayView dir);
