#pragma once

#include <QString>

// The verdict on one file of an integrity check.
struct param {
    enum State : qint16 { NoVerdict = 0, AtPlace = 1, Moved = 2, New = 3, Deleted = 4 };

    QString text;   // the report line
    qint16 state = NoVerdict;
    QString flags;  // "S", "A", "C" in this order, for a file at its place; "A" for a moved one
    QString movedFrom; // the old full name of a moved file
    QString movedTo;   // and its new one
};
