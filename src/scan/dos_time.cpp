#include "scan/dos_time.h"

static qint32 pack(int year, int month, int day, int hours, int minutes, int seconds)
{
    const quint32 date = quint32(year - 1980) << 9 | quint32(month) << 5 | quint32(day);
    const quint32 time = quint32(hours) << 11 | quint32(minutes) << 5 | quint32(seconds / 2);
    return qint32(date << 16 | time);
}

qint32 PackDosDateTime(std::time_t moment)
{
    std::tm local{};
    if (!localtime_r(&moment, &local))
        return pack(1980, 1, 1, 0, 0, 0);
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return pack(1980, 1, 1, 0, 0, 0);
    if (year > 2107)
        return pack(2107, 12, 31, 23, 59, 58);
    // A leap second (tm_sec 60) still fits: 60 / 2 = 30 is below 32.
    return pack(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}
