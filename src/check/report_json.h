#pragma once

#include <QByteArray>
#include <QString>

struct CheckReport;

// The report of a check of dir as one JSON document, for programs to read:
//   {"directory": dir,
//    "deleted": [full name, ...],
//    "moved":   [{"from": old full name, "to": new full name}, ...],
//    "new":     [full name, ...],
//    "changed": [{"file": full name, "size": bool, "attributes": bool, "contents": bool}, ...]}
// Each list in the order of the text report.
QByteArray ReportJson(const QString& dir, const CheckReport& report);
