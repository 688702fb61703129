#pragma once

#include <QStringList>

struct Console;
class SealKey;
class TDM1;

// kvaren-cli watch [--json] [--settle SECONDS] [DIR...]: watches the trees of
// the registrations of the directories given (of every registration when
// none is) until a signal ends it, raising ECommandStopped then (its words say
// the watch stopped: it has nothing to undo). Each is
// checked in full first; from then on every changed name, once quiet for
// settleSeconds, is judged as a check would judge it, and what is found that
// was not reported of it already is printed on console.out, one finding a
// line (see finding_lines.h). Where changes may have gone unseen (the
// kernel's queue overflowed, a directory could not be watched), the
// registration is checked in full at once, after a line on console.err (and,
// with json, a line on console.out) that says why. Errors judging a name are
// told on console.err and the watch goes on. A finding reported that no
// longer holds (the file as the baseline has it again, or gone where the
// baseline has nothing) is withdrawn by a line of its own (see
// WithdrawnLine). The seal of the registrations watched is verified with
// publicKey (none when no key applies) before the first check, and again
// after the changes judged, which see what other programs committed; its
// lines (see SealLines) are printed as a check prints them, when they say
// what they did not before. dm gives the registrations;
// each check and judgement runs on an attachment of its own, so that what
// other programs commit is seen, and the engine's caches of a large tree go
// with it. Writes nothing to the database.
// Raises Exception before watching for a directory not under control, or
// none under control at all.
int RunWatch(TDM1& dm, const QStringList& dirs, bool json, bool unexplainedOnly, double settleSeconds,
             const SealKey* publicKey, Console& console);
