#pragma once

#include <QString>
#include <QStringList>

// The embedded engine keeps its lock files in /tmp/firebird unless FIREBIRD_LOCK
// names another directory; the first user to create /tmp/firebird owns it and
// every other user is then locked out of every database. When FIREBIRD_LOCK is
// unset, this points it at a directory of the user's own, mode 0700:
// $XDG_RUNTIME_DIR/firebird when the session has a runtime directory (or, for
// a program outside the session, /run/user/<uid>/firebird while the user has
// one), for root RootLockDirectory(), else firebird-<uid> in the temporary
// directory, else (when another user made that
// one first) kvaren-firebird-lock in the user's cache directory. A directory
// another user made, or anyone else may write in, is never used. It must run
// before the first connection. Raises Exception when no such directory can be
// had.
void EnsureFirebirdLockDirectory();

// Where every program of root keeps the engine's lock files, the nightly
// service's included: a place only root can make anything in.
QString RootLockDirectory();

// Makes path, a directory of this user's alone (mode 0700), unless it is one
// already. False when it cannot be made or is not such a directory (another
// user made it first, anyone else may write in it, or it is a link).
bool OwnDirectory(const QString& path);

// The first of candidates that is, or can be made, such a directory (see
// OwnDirectory), its parent made when missing; empty when none can be had.
QString FirstOwnDirectory(const QStringList& candidates);

// The fallback of a user's directories when another user made the one in the
// temporary directory first: name in the user's cache directory
// ($XDG_CACHE_HOME, else ~/.cache).
QString UserCacheDirectory(const QString& name);
