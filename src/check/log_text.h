#pragma once

#include "rows/event_log.h"
#include "rows/registration.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// What a check found, on one line: the findings per list, what nothing
// explained, what was not examined, the seal and the status.
//     удаленных 0, перемещенных 0, новых 3, измененных 2; не объяснено 1; печать цела; код 5
QString CheckSummaryText(const LogEntry& entry);

// What was done, in a word or few: "проверка", "приняты все изменения"...
QString LogKindText(LogEntry::Kind kind);

// A check in brief, as the window's list shows it beside its directory: its
// local time and what it found.
//     2026-12-10 03:14: найдено 5, не объяснено 2
QString LastCheckText(const LogEntry& entry);

// An entry as the log shows it: its local time, the directory, what was done
// and by whom, and the check's summary or the names accepted, a line each
// below it.
QStringList LogEntryLines(const LogEntry& entry, const QString& dir);

// Every entry, each with its registration's directory (dirs, by id).
QString LogText(const LogEntries& entries, const QHash<qint32, QString>& dirs);

// The same as a JSON document: {"entries": [...]}, each entry an object with
// its registration, directory, kind, time (ISO 8601, UTC), user and host, and
// a check's counts, status and seal, or an accept's names.
QByteArray LogJson(const LogEntries& entries, const QHash<qint32, QString>& dirs);
