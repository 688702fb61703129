#pragma once

#include <QString>

// The status line's text for the number of files under control (see
// CountFilesUnderControl), e.g. "На учете находится: 12  файлов.".
QString StatusCountText(qint32 count);
