#pragma once

#include <QString>

// One directory entry as the walk receives it.
struct TSearchRec {
    qint32 Time = 0; // last-write time, local time packed in the DOS date-time format
    qint64 Size = 0; // the size in bytes
    qint32 Attr = 0; // the attribute word (see directory_entries.h for how it is made)
    QString Name;    // the entry's name, without any directory part
};

// Attribute bits.
inline constexpr qint32 faReadOnly = 1;
inline constexpr qint32 faHidden = 2;
inline constexpr qint32 faDirectory = 16;
inline constexpr qint32 faArchive = 32;
