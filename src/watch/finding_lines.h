#pragma once

#include <QList>
#include <QString>

struct CheckReport;

// One line of what a check found, and the full name of the file or directory
// it is about (of a moved file, its new name).
struct FindingLine {
    QString name;
    QString line;
};

// A report one finding a line, as the text report shows its lines (see
// CaptionedLines): "Новые файлы: /d/a.txt".
QList<FindingLine> FindingTextLines(const CheckReport& report);

// The same as JSON, a compact document a line: the directory checked and one
// entry of one of the JSON report's lists, as the report gives it (see
// ReportJson), under that list's name:
//   {"directory": "/d", "new": "/d/a.txt"}
//   {"directory": "/d", "changed": {"file": ..., "size": ..., ...}}
QList<FindingLine> FindingJsonLines(const QString& dir, const CheckReport& report);

// The line that says a finding reported of name (a full name, as FindingLine
// holds it) no longer holds: the name is as the baseline has it, or gone
// where the baseline has nothing. "Больше не отличается от учтенного:
// /d/a.txt"; as JSON {"directory": "/d", "withdrawn": "/d/a.txt"}.
QString WithdrawnLine(const QString& dir, const QString& name, bool json);
