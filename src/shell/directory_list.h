#pragma once

#include <QString>
#include <functional>

class TDM1;

// Reads the directories under control from tab, in the order the database
// returns them, handing each with its list of file types and its tab id to
// append as it is read (so a failure keeps what was read before it). IBQuery1
// is left open on the last row.
void ReadDirectoryList(TDM1& dm,
                       const std::function<void(const QString& dir, const QString& types, qint32 id)>& append);
