#pragma once

#include <QHash>
#include <QStringList>
#include <QtGlobal>

#include <functional>

class CheckRows;
class TIBQuery;
struct Registration;

// Reads on query the baseline a check of the registration judges into rows:
// the table1 rows at its directory or below it that it owns, or, when it owns
// none, those no registration owns (see owned_rows.h), in the order the
// database returns them, each with its fingerprint where it has one. Texts are
// read as texts, numbers as signed 32-bit integers, the size as a 64-bit one
// (from a column of either width, see UpgradeSchema); names come byte for
// byte, also where they are not UTF-8. meanwhile, where given, is called every
// few hundred rows, for the caller's other work while the rows are read.
void ReadBaselineRows(TIBQuery& query, const Registration& registration, CheckRows& rows,
                      const std::function<void()>& meanwhile = {});

// Which of a registration's rows to read, of some names alone.
struct BaselineNames {
    QHash<QString, QStringList> at; // a directory, and names of files in it
    QStringList anywhere;           // names of files wherever below the registration's directory
    QStringList trees;              // directories, for every row at or below them
};

// Adds to rows those of the rows ReadBaselineRows reads that names picks,
// each once, leaving out those rows already holds. A few rows are read, with
// their fingerprints, by lists of their names and ids; many, by reading the
// registration's rows and keeping those picked.
void ReadBaselineRowsNamed(TIBQuery& query, const Registration& registration, const BaselineNames& names,
                           CheckRows& rows);
// The same rows, picked from the registration's rows as ReadBaselineRows read
// them, with whose DirectoryTable rows is made.
void PickBaselineRowsNamed(const CheckRows& from, const BaselineNames& names, CheckRows& rows);

// Reads into rows the rows at the registration's directory or below it that
// the open transaction wrote, whoever owns them, each with the fingerprint it
// wrote for it: the rows a change added, to put beside those read before it.
void ReadRowsWrittenNow(TIBQuery& query, const Registration& registration, CheckRows& rows);
