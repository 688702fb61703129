#pragma once

#include <QString>

#include "rows/recorded_change.h"

class Progress;
class TDM1;

// Puts dir under control with the extension list: a new tab row (id, dir,
// list), then a table1 row for every matching file below dir. Nothing checks
// whether dir is under control already; a second time gives a second tab row
// and a second set of rows. Nothing is committed. An error ends it at that
// point, with what was written before it kept in the open transaction.
// Returns the new registration (its tab row's id), whose own the rows
// written are, and what the walk could not examine.
RecordedChange PutUnderControl(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr);
