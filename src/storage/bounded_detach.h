#pragma once

#include <QSqlDatabase>

// The engine, in its shared mode, now and then never returns from a detach:
// it waits for a reply of its own lock thread that does not come. By then
// everything is committed, so a detach that takes longer than a few seconds
// is left to its thread, and the program, once it has said what it has to
// say, ends without waiting for it (EndIfDetachAbandoned); the engine treats
// the attachment as one of a program that has ended, as it must for a
// program killed.
//
// Closes db, within the time limit; false when the detach was left running.
bool CloseWithinLimit(QSqlDatabase db);

// Whether a detach was left running.
bool DetachAbandoned();

// Ends the program with status, at once, when a detach was left running: a
// normal exit would wait for it again. Flushes the standard streams first.
void EndIfDetachAbandoned(int status);
