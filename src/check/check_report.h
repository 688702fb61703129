#pragma once

#include "check/finding.h"
#include "scan/not_examined.h"

#include <QList>
#include <QString>
#include <QStringList>

// What an integrity check found: the findings in the order the files were
// judged, and the four lists of the text report rendered from them, each in
// that order too.
struct CheckReport {
    QList<Finding> findings;

    QStringList deleted; // full names
    QStringList moved;   // "<old> перемещен в <new>"
    QStringList movedFrom; // the <old> of each moved line, in the same order
    QStringList added;   // full names of new files
    QStringList changed; // "<full name> изменен размер файла," and the like
    NotExaminedList notExamined; // what the walk could not examine

    // Adds a finding and its lines: a deleted, moved or new file's line in its
    // list; a changed file's lines of size, attributes and contents, in this
    // order; a moved file whose attributes changed also gets the attributes
    // line, under its new name.
    void add(Finding finding);
    // Drops the deleted files that are the old places of moved ones.
    void strikeMovedFromDeleted();

    // The exit-status bits of what was found: 1 new, 2 deleted, 4 changed, 8 moved.
    int foundBits() const;
};

// A list as the report shows it: its lines, control characters in names
// escaped (ShownName), or the single line "Не обнаружено" when it is empty.
QStringList ShownLines(const QStringList& lines);

// What a walk could not examine as the reports show it, "path: reason" a line,
// under the caption "Не проверено".
QStringList NotExaminedLines(const NotExaminedList& names);
QString NotExaminedCaption();

// The four lists' captions, in the report's order.
QStringList ReportCaptions();

// The line of a file moved from one full name to another.
QString MovedLine(const QString& from, const QString& to);

// The change line for one change letter ("S", "A" or "C") of a file.
QString ChangeLine(const QString& fullName, QChar letter);
