#pragma once

#include <QString>

class TDM1;

// The number of files under control: the rows of table1 over all directories.
// IBQuery1 is left open on the count.
qint32 CountFilesUnderControl(TDM1& dm);

// The status line's text for that number, e.g. "На учете находится: 12  файлов.".
QString StatusCountText(qint32 count);
