#pragma once

#include <QString>

// The user's own database: $XDG_DATA_HOME/kvaren/file.gdb, or
// ~/.local/share/kvaren/file.gdb when XDG_DATA_HOME is not set.
QString UserDatabasePath();

// The database the window opens: option (--database) when given; else
// $KVAREN_DATABASE when set; else, started from the desktop menu
// (userDatabase: --user-database), the user's own; else file.gdb in the
// working directory, as the console chooses.
QString WindowDatabaseName(const QString& option, bool userDatabase);

// Makes the user's own database, with its folder, where it is missing; an
// existing one is left as it is. Raises Exception when it cannot be made.
void MakeUserDatabase(const QString& path);
