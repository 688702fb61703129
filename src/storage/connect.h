#pragma once

#include <QString>

class TDM1;

// How every front end opens its storage: set the database name, connect and
// start the one transaction.
void ConnectDM1(TDM1& dm, const QString& databaseName);
