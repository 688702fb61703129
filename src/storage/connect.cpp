#include "storage/connect.h"

#include "common/program_signals.h"
#include "storage/database_error.h"
#include "storage/dm1.h"
#include "storage/schema.h"

#include <QDeadlineTimer>
#include <QThread>

QString ConnectDM1(TDM1& dm, const QString& databaseName)
{
    EngineSection connecting;
    dm.IBDatabase1.setDatabaseName(databaseName);
    dm.IBDatabase1.open();
    QString notice = UpgradeSchema(dm.IBDatabase1);
    dm.IBTransaction1.startTransaction();
    return notice;
}

QString ConnectDM1Waiting(TDM1& dm, const QString& databaseName, int waitSeconds,
                          const std::function<void()>& onWaiting)
{
    const QDeadlineTimer deadline{std::chrono::seconds(waitSeconds)};
    bool waited = false;
    for (;;) {
        try {
            return ConnectDM1(dm, databaseName);
        } catch (const EDatabaseBusy&) {
            if (deadline.hasExpired())
                throw;
        }
        if (!waited && onWaiting)
            onWaiting();
        waited = true;
        QThread::msleep(std::min<qint64>(200, std::max<qint64>(1, deadline.remainingTime())));
    }
}
