#pragma once

#include <QtGlobal>
#include <ctime>

// A moment packed in the DOS date-time format, after conversion to local time:
// year - 1980 in bits 25-31, month in 21-24, day in 16-20, hours in 11-15,
// minutes in 5-10, seconds / 2 in 0-4. Moments before 1980 or after 2107, which
// the format cannot hold, become its first (1980-01-01 00:00:00) or last
// (2107-12-31 23:59:58) value.
qint32 PackDosDateTime(std::time_t moment);
