#include "storage/dm1.h"

#include "common/program_signals.h"
#include "storage/shared_engine.h"
#include "storage/firebird_login.h"

#include <QSqlDatabase>

#include <atomic>

static QString connectionName()
{
    static std::atomic<int> created{0};
    return QStringLiteral("DM1-%1").arg(++created);
}

TDM1::TDM1()
    : IBDatabase1((PrepareEmbeddedEngine(), connectionName()), LoginFromEnvironment()),
      IBTransaction1(IBDatabase1),
      IBQuery1(IBDatabase1, IBTransaction1),
      IBQuery2(IBDatabase1, IBTransaction1)
{
}

TDM1::~TDM1()
{
    EngineSection freeing;
    IBQuery1.releaseStatements();
    IBQuery2.releaseStatements();
}

void TDM1::finish()
{
    if (IBTransaction1.active())
        IBTransaction1.commit();
}
