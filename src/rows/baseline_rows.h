#pragma once

#include <QtGlobal>

#include <functional>

class CheckRows;
class TIBQuery;
struct Registration;

// Reads on query the baseline a check of the registration judges into rows:
// the table1 rows at its directory or below it that it owns, or, when it owns
// none, those no registration owns (see owned_rows.h), in the order the
// database returns them, each with its fingerprint where it has one. Texts are
// read as texts, numbers as signed 32-bit integers; names come byte for byte,
// also where they are not UTF-8. meanwhile, where given, is called every few
// hundred rows, for the caller's other work while the rows are read.
void ReadBaselineRows(TIBQuery& query, const Registration& registration, CheckRows& rows,
                      const std::function<void()>& meanwhile = {});
