#pragma once

#include <QString>
#include <functional>

class TDM1;

// How every front end opens its storage: set the database name, connect,
// bring the database up to the schema (see UpgradeSchema) and start the one
// transaction. Returns what the front end is to show once, on one line: why
// the database is used as it is (see UpgradeSchema); empty when all is well.
QString ConnectDM1(TDM1& dm, const QString& databaseName);

// ConnectDM1, waiting up to waitSeconds while another program holds the
// database; onWaiting is called once, when the first try finds it held.
// Raises EDatabaseBusy when it is still held after that time.
QString ConnectDM1Waiting(TDM1& dm, const QString& databaseName, int waitSeconds,
                          const std::function<void()>& onWaiting);
