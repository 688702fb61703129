#pragma once

#include "cli/console.h"
#include "rows/recorded_change.h"

#include <QString>
#include <QStringList>

class TDM1;

// The system's database, the one the package's daily check and watch use.
inline constexpr char kSystemDatabase[] = "/var/lib/kvaren/file.gdb";
// The administrator's list of the system's directories (a conffile of the
// package) that init --system puts under control.
inline constexpr char kSystemDirectoriesFile[] = "/etc/kvaren/system-directories";

// The list init --system reads: the one given, else kSystemDirectoriesFile,
// else, where that is not there at all (a build not installed from the
// package), the same list as built into the program.
QString SystemDirectoriesFile(const QStringList& given);

// How the list is named to the user: the file, or the built-in one's words.
QString SystemDirectoriesFileText(const QString& file);

// Puts every directory of the list under control with every file, in the
// list's order, through PutUnderControl, naming each on console.out as it
// goes. A directory under control already (by any registration of that very
// directory, or earlier in the list) is named and left as it is, and so is
// one that is not a directory now: missing, a link, a file. Returns the new
// registrations and what their walks could not examine. Errors raise as
// PutUnderControl's do; nothing is committed.
RecordedChange PutListUnderControl(TDM1& dm, const QStringList& directories, Console& console);

// What init --system prints last: how long it took, then the commands that
// come next for database (sealing, a check, the system's daily check and
// watch), each as it can be run. Where root has no public key yet, making
// one adds it to /etc: with etcUnderControl, the commands accept it there
// before sealing, so that the first check finds nothing.
QString SystemInitClosing(const QString& database, qint64 elapsedMs, bool etcUnderControl);
