#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The tree whose package manager's records explain what a check finds: "/",
// or the root a tree was installed into with dpkg --root, as --package-root
// names it.
QString PackageRoot();
void SetPackageRoot(const QString& root);

// path (absolute, on this machine) as seen inside root, spelt as dpkg spells
// it ("/usr/bin/x" for ROOT/usr/bin/x); none where it lies outside root.
std::optional<QByteArray> InsideRoot(const QString& root, const QString& path);
