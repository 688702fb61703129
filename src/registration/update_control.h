#pragma once

#include <QString>
#include <optional>

#include "rows/recorded_change.h"
#include "rows/registration.h"

class Progress;
class TDM1;
class TIBQuery;

// Accepts what changed below dir, a directory under control: the baseline of
// one registration of dir (the one with the id registration when it is given,
// the window's selected line; else the first of dir in the list's order) is
// recorded afresh, with the tab rows kept as they are (ids, lists, order).
//
// The rows replaced are exactly those that taking it out of control deletes:
// the rows it owns, written again owned by it. Other registrations keep
// theirs, inside dir or around it. A registration that owns no rows yet
// (written before rows had owners) replaces every row at dir or below it that
// no registration owns, and so every registration at or below dir that owns
// none is recorded again too, in the order of the directory list, each with
// its own extension list. So afterwards each of them checks clean.
// Nothing is committed. Raises Exception naming dir, before anything changes,
// when no tab row has it. Returns the registrations recorded again and what
// the walks could not examine.
RecordedChange UpdateControl(TDM1& dm, const QString& dir, Progress* progress = nullptr,
                              std::optional<qint32> registration = std::nullopt);

// The registrations UpdateControl records again, before it changes anything:
// the one of dir, and with it those that own no rows when it owns none.
QList<Registration> UpdatedRegistrations(TIBQuery& query, const QString& dir,
                                         std::optional<qint32> registration = std::nullopt);
