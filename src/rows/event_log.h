#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TIBQuery;

// One entry of the log of checks and accepts (see event_log in schema.sql).
struct LogEntry {
    enum Kind { Check, Accept, AcceptNames, AcceptExplained };

    qint32 registration = 0;
    Kind kind = Check;
    QDateTime at; // UTC, to the millisecond
    QString user;
    QString host;

    // A check's: findings per list, names not examined, findings nothing
    // explains (none where the check did not explain), the status bits (as
    // the console's exit status has them) and the seal's verdict.
    qint32 deleted = 0;
    qint32 moved = 0;
    qint32 added = 0;
    qint32 changed = 0;
    qint32 notExamined = 0;
    std::optional<qint32> unexplained;
    qint32 status = 0;
    QString seal; // "holds", "broken" or "none"

    // An accept's names; none for an accept of all.
    QStringList names;

    qint32 findings() const { return deleted + moved + added + changed; }
    bool operator==(const LogEntry&) const = default;
};
using LogEntries = QList<LogEntry>;

// An entry of kind for the registration, now, by this process's user on this
// host.
LogEntry NewLogEntry(LogEntry::Kind kind, qint32 registration);

// The registration's entries (every registration's where none is given), in
// the order they were made; none in a database made before the log was kept.
LogEntries ReadLog(TIBQuery& query, std::optional<qint32> registration = std::nullopt);
// The registration's accepts alone, in the same order: what its seal covers.
LogEntries ReadAccepts(TIBQuery& query, qint32 registration);

// Adds the entry; nothing in a database that does not keep the log.
void WriteLogEntry(TIBQuery& query, const LogEntry& entry);
// Drops the registration's entries, as taking it out of control does.
void DeleteLog(TIBQuery& query, qint32 registration);

// Whether this account may add to the log: the database keeps it, is not
// read-only, and the account may insert into it.
bool MayWriteLog(TIBQuery& query);

// The key of a kind, as the table and the JSON keep it.
QString LogKindKey(LogEntry::Kind kind);
