#pragma once

#include "rows/event_log.h"
#include "rows/recorded_change.h"

#include <QString>
#include <QStringList>
#include <optional>

class TDM1;

// Accepts the changes of the named names below dir, a directory under
// control, and of nothing else: for the registration of dir (the one with the
// id registration when it is given; else the first of dir in the list's
// order) each name's rows are made to match what is on disk now, reading only
// those names. A file that is there now is recorded afresh (a new one gets
// its row); one that is gone loses its row; a file moved is accepted by its
// old and its new name, or by its new name alone, which also takes the row
// of the old place that the check found it moved from. A directory's own row
// is recorded afresh or deleted the same way. A name with nothing to accept
// changes nothing.
//
// Each name is a full path or one relative to dir. Raises Exception, before
// anything changes, for a name outside dir, or a file of a type the
// registration does not record. The accept is logged as logAs, with the
// full names (see event_log), unless the caller logs it itself. Nothing is
// committed. Returns the registration whose rows it wrote.
RecordedChange AcceptFiles(TDM1& dm, const QString& dir, const QStringList& names,
                           std::optional<qint32> registration = std::nullopt,
                           std::optional<LogEntry::Kind> logAs = LogEntry::AcceptNames);
