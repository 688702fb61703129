#pragma once

#include "rows/event_log.h"

class TDM1;
struct CheckReport;

// The log's entry of a check of the registration that found report; explained
// when the package manager's records were asked (see ExplainFindings), so
// that it counts what nothing explains.
LogEntry CheckLogEntry(qint32 registration, const CheckReport& report, bool explained);

// Adds the entry of a check to the log, in a short transaction of its own,
// committed at once, where this account may write (see MayWriteLog). A check
// by an account that may only read, or one made while another program writes
// the database, logs nothing and says nothing of it: the check itself never
// waits nor fails for its log. Nothing either inside a change (a check run
// to accept what it finds), whose transaction is not the check's to commit.
void LogCheck(TDM1& dm, const LogEntry& entry);
