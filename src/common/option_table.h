#pragma once

#include <QList>
#include <QString>

// One line of a program's list of options: the option as typed (with its
// value's name) and what it does.
struct OptionLine {
    QString option;
    QString description;
};

// The lines indented by two spaces, the descriptions aligned in one column
// two spaces right of the longest option; each line ends with a newline.
QString OptionTableText(const QList<OptionLine>& lines);
