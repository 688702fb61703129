#pragma once

#include "scan/fingerprint.h"

#include <QString>
#include <optional>
#include <vector>

class TIBQuery;

// One directory of a registration's tree: its path, as the walk made it, and
// its fingerprint; none for a directory that is there but could not be
// looked at.
struct DirectoryPrint {
    QString path;
    std::optional<Fingerprint> print;
};
using DirectoryPrints = std::vector<DirectoryPrint>;

// The directories the registration recorded (its rows of directory_print);
// none for a registration recorded before directories were.
DirectoryPrints ReadDirectoryPrints(TIBQuery& query, qint32 registration);

// Whether the registration recorded a directory at path.
bool RecordedDirectory(TIBQuery& query, qint32 registration, const QString& path);

// Deletes the directory rows of the registration; or its row of path alone.
void DeleteDirectoryPrints(TIBQuery& query, qint32 registration);
void DeleteDirectoryPrint(TIBQuery& query, qint32 registration, const QString& path);
