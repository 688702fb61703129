#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>

class QListWidget;
class QListWidgetItem;

// The rows of one of the report window's lists: a finding's line knows the
// index of its finding in the report; a package group's header stands above
// its lines and knows it is one; "Не обнаружено" is neither.

void MarkFindingLine(QListWidgetItem* item, qsizetype finding);
void MarkGroupHeader(QListWidgetItem* item);
bool IsFindingLine(const QListWidgetItem* item);
bool IsGroupHeader(const QListWidgetItem* item);
// The index of a finding line's finding.
qsizetype FindingOfLine(const QListWidgetItem* item);

// The rows [first, end) of the group of the line at row, its header's first;
// an empty range for a line of no group.
std::pair<int, int> GroupRows(const QListWidget* list, int row);
// What a header's tick box shows: how the lines shown of its group, rows
// (first, end), are ticked.
Qt::CheckState GroupTickState(const QListWidget* list, int first, int end);
// Gives each header of list the tick GroupTickState says.
void UpdateGroupHeaders(QListWidget* list);

// Hides the finding lines that do not hold filter, in any case, and the
// headers of groups with no line shown; an empty filter shows all.
void FilterLines(QListWidget* list, const QString& filter);
// How many findings have a line shown, and how many have a line at all: a
// changed file's lines count once.
std::pair<qsizetype, qsizetype> CountFindings(const QListWidget* list);
