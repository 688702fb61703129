#pragma once

#include "check/explanation.h"

#include <QString>
#include <QStringList>

struct CheckReport;

// The package and what became of it: "пакет P a → b", "пакет P установлен
// (b)", "пакет P удален (был a)". Architecture is named only where it is not
// the machine's own.
QString PackageChangeText(const Explanation& explanation);

// The line the reports give an explained finding: "объяснено: " then the
// package's change, what its rule says, and what it rests on: "проверено по
// архиву" or "по записям этой машины".
QString ExplanationText(const Explanation& explanation);

// A line for each package that explains findings of report, by name: "пакет
// P a → b: N файлов".
QStringList ExplainedPackageLines(const CheckReport& report);

// "N файл", "N файла" or "N файлов", as Russian counts them.
QString FileCount(qsizetype count);
