#pragma once

#include "scan/not_examined.h"

#include <QSet>

// What a change of what is under control recorded: the registrations whose
// rows it wrote (a sealed database signs those again), and what its walks
// could not examine.
struct RecordedChange {
    QSet<qint32> registrations;
    NotExaminedList notExamined;
};
