#pragma once

// The embedded engine keeps its lock files in /tmp/firebird unless FIREBIRD_LOCK
// names another directory; the first user to create /tmp/firebird owns it and
// every other user is then locked out of every database. When FIREBIRD_LOCK is
// unset, this points it at a directory of the user's own (created with mode
// 0700 under the temporary directory). It must run before the first connection.
// Raises Exception when that directory exists but belongs to someone else.
void EnsureFirebirdLockDirectory();
