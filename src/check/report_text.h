#pragma once

#include "scan/not_examined.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <array>

struct CheckReport;
struct Finding;

// The text report's four lists, made from a report's findings, each in their
// order: deleted, moved, new and changed files.
struct ReportLists {
    QStringList deleted; // full names
    QStringList moved;   // "<old> перемещен в <new>"
    QStringList added;   // full names of new files
    // "<full name> изменен размер файла," and the like, for size, attributes
    // and contents in this order; a moved file whose attributes changed has
    // its attributes line too, under its new name.
    QStringList changed;
    // The index in the report's findings of each line's finding, list by
    // list in the order above.
    std::array<QList<qsizetype>, 4> findings;
};
// Names in these lines are as they are; the reports show ShownReportLines.
ReportLists ReportLines(const CheckReport& report);
// The same lines with each name as ShownName shows it, the lines the reports
// show. Names are shown one by one, never a line as a whole: in
// "/d/a перемещен в /d/b" the blank before "/d/b" would pass for a name's.
ReportLists ShownReportLines(const CheckReport& report);

// The report as the console prints it: each list's caption, then its lines
// (ShownLines), the lists one blank line apart. With explain, each finding's
// line is followed by its explanation (see ExplanationText) or "не
// объяснено", indented.
QString ReportText(const CheckReport& report, bool explain = false);

// A list of shown lines (ShownReportLines) as the report shows it: the lines,
// or the single line "Не обнаружено" when it is empty.
QStringList ShownLines(const QStringList& lines);

// The shown lines one finding a line, as a watch prints them: each after its
// list's caption and ": " ("Новые файлы: /d/a.txt"), in the report's order
// of lists, with the index in the report's findings of its finding.
struct CaptionedLine {
    qsizetype finding;
    QString line;
};
QList<CaptionedLine> CaptionedLines(const CheckReport& report);

// What was and is of a changed or moved file, a line a field in the JSON's
// terms ("mode: 0755 → 4755", "type: file"), each field that differs marked
// "*" at its start; empty where the finding holds no states.
QStringList FindingDetails(const Finding& finding);
// A field's value as the details show it: "—" where a side has none, "нет"
// for null, an object as compact JSON, a name as ShownName shows it.
QString ShownFieldValue(const QJsonValue& value, bool name);

// What a walk could not examine as the reports show it, "path: reason" a line,
// under the caption "Не проверено".
QStringList NotExaminedLines(const NotExaminedList& names);
QString NotExaminedCaption();

// The four lists' captions, in the report's order.
QStringList ReportCaptions();

// The line of a file moved from one full name to another.
QString MovedLine(const QString& from, const QString& to);
