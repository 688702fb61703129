#pragma once

#include <QString>
#include <QStringList>

// The four lists of an integrity check, each in the order its files were
// judged.
struct CheckReport {
    QStringList deleted; // full names
    QStringList moved;   // "<old> перемещен в <new>"
    QStringList movedFrom; // the <old> of each moved line, in the same order
    QStringList added;   // full names of new files
    QStringList changed; // "<full name> изменен размер файла," and the like

    // The exit-status bits of what was found: 1 new, 2 deleted, 4 changed, 8 moved.
    int foundBits() const;
};

// A list as the report shows it: its lines, or the single line "Не обнаружено"
// when it is empty.
QStringList ShownLines(const QStringList& lines);

// The four lists' captions, in the report's order.
QStringList ReportCaptions();

// The line of a file moved from one full name to another.
QString MovedLine(const QString& from, const QString& to);

// The change line for one change letter ("S", "A" or "C") of a file.
QString ChangeLine(const QString& fullName, QChar letter);
