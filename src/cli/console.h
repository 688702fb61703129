#pragma once

#include <QTextStream>

// Where a console command writes: the plain output, and errors and progress.
struct Console {
    QTextStream& out;
    QTextStream& err;
    bool errIsTerminal = false;
};
