#pragma once

#include <QString>

class Progress;
class TDM1;

// Takes dir out of control: deletes the first tab row whose file_name is dir
// and then, by set statements (DeleteDirectoryRows), every table1 row of dir
// and the directories below it with their fingerprints. table2 is not touched
// and nothing is committed. Raises Exception naming dir, before anything is
// deleted, when no tab row has it. Tells progress of the rows deleted as the
// work goes on.
void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress = nullptr);
