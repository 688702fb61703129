#pragma once

#include <QString>

class Progress;
class TDM1;

// Takes dir out of control: deletes the first tab row whose file_name is dir
// and then, one statement per row, every table1 row of dir and the directories
// below it. table2 is not touched and nothing is committed. Raises Exception
// naming dir, before anything is deleted, when no tab row has it. Tells
// progress of every row deleted.
void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress = nullptr);
