#pragma once

#include <QString>

// The embedded engine, as installed, takes a database file for one process.
// Run from a root of the user's own whose configuration adds only
// "ServerMode = Classic" to the installed one, it lets every process of the
// user that shares a lock directory attach the same file at once, while the
// engine in its default mode (isql-fb as installed, an older Kvaren) is
// refused on it, and the other way round. (SuperClassic shares the file too,
// but a process killed at the wrong moment left the others of the same file
// waiting for ever on a lock in the shared memory.)
//
// The configuration also sizes the page cache of a connection to a database
// whose header sizes none (every database this version makes): large for a
// process that writes, small for one that only reads, as the nightly check
// does, so that a check of a large tree needs no more memory than its rows.
enum class EngineUse { Writing, Reading };

// PrepareEmbeddedEngine() sets up the lock directory (see firebird_lock.h)
// and, unless FIREBIRD already names a root, points FIREBIRD at that private
// root for use, made on first use with links to the installed engine's files.
// It must run before the first connection: the first call of a process
// decides. Where no installed engine is found the engine keeps its default
// mode.
void PrepareEmbeddedEngine(EngineUse use = EngineUse::Writing);

// The root the engine is run from for use, made when missing; empty when no
// installed engine is found. A directory of the user's own under the
// temporary directory, else (another user made that one first) under the
// user's cache directory; raises Exception when neither can be had.
QString SharedEngineRoot(EngineUse use = EngineUse::Writing);
