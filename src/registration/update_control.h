#pragma once

#include <QString>

#include "scan/not_examined.h"

class Progress;
class TDM1;

// Accepts what changed below dir, a directory under control: its baseline is
// recorded afresh, with the tab rows kept as they are (ids, lists, order).
//
// The rows replaced are exactly those that taking dir out of control deletes:
// every table1 row at dir or below it. They are then recorded again by walking,
// in the order of the directory list, every registration at dir or below it
// with its own extension list: dir itself (twice for a directory registered
// twice, as the two registrations did) and each directory under control inside
// it, whose rows the deletion took too. So afterwards each of them checks clean.
// Nothing is committed. Raises Exception naming dir, before anything changes,
// when no tab row has it. Returns what the walks could not examine.
NotExaminedList UpdateControl(TDM1& dm, const QString& dir, Progress* progress = nullptr);
