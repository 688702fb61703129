#pragma once

#include <QList>
#include <QString>

// A name in a walked tree that the walk could not examine, and why: a
// directory it may not list or enter, a path too long to be opened. The path
// is shown as ShownName / ShownNameBytes make it, so that it can go to any
// report as it is.
struct NotExamined {
    QString path;
    QString reason;

    // "path: reason", as stderr and the reports show it.
    QString line() const { return path + QStringLiteral(": ") + reason; }
    friend bool operator==(const NotExamined&, const NotExamined&) = default;
};

using NotExaminedList = QList<NotExamined>;
