#pragma once

#include <QString>

// Asks question on the terminal and whether the answer was "да" (or "yes");
// false where there is no terminal to ask on.
bool Confirmed(const QString& question);
