#pragma once

#include <QString>

#include "scan/not_examined.h"

class Progress;
class TDM1;

// Puts dir under control with the extension list: a new tab row (id, dir,
// list), then a table1 row for every matching file below dir. Nothing checks
// whether dir is under control already; a second time gives a second tab row
// and a second set of rows. Nothing is committed. An error ends it at that
// point, with what was written before it kept in the open transaction.
// Returns what the walk could not examine; the new tab row's id goes to
// registered when it is given. The rows written are the new registration's own.
NotExaminedList PutUnderControl(TDM1& dm, const QString& dir, const QString& list, Progress* progress = nullptr,
                                qint32* registered = nullptr);
