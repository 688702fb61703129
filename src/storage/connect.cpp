#include "storage/connect.h"

#include "storage/dm1.h"

void ConnectDM1(TDM1& dm, const QString& databaseName)
{
    dm.IBDatabase1.setDatabaseName(databaseName);
    dm.IBDatabase1.open();
    dm.IBTransaction1.startTransaction();
}
