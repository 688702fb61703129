#pragma once

#include <QString>
#include <optional>

class Progress;
class TDM1;

// Takes a registration of dir out of control: the one with the id registration
// when it is given (the window's selected line), else the first tab row whose
// file_name is dir. Deletes that tab row and then, by set statements, the rows
// it owns with their fingerprints (or, when it owns none, every row of dir and
// the directories below it that no registration owns; see owned_rows.h). Other
// registrations keep their rows, whether they lie inside dir, around it, or
// are of dir itself. table2 is not touched and nothing is committed. Raises
// Exception naming dir, before anything is deleted, when no tab row has it.
// Tells progress of the rows deleted as the work goes on.
void RemoveFromControl(TDM1& dm, const QString& dir, Progress* progress = nullptr,
                       std::optional<qint32> registration = std::nullopt);
