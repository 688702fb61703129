#include "storage/connect.h"

#include "common/program_signals.h"
#include "storage/database_error.h"
#include "storage/dm1.h"
#include "storage/fingerprint_table.h"

#include <QDeadlineTimer>
#include <QThread>

void ConnectDM1(TDM1& dm, const QString& databaseName)
{
    EngineSection connecting;
    dm.IBDatabase1.setDatabaseName(databaseName);
    dm.IBDatabase1.open();
    EnsureFingerprintTable(dm.IBDatabase1);
    dm.IBTransaction1.startTransaction();
}

void ConnectDM1Waiting(TDM1& dm, const QString& databaseName, int waitSeconds, const std::function<void()>& onWaiting)
{
    const QDeadlineTimer deadline{std::chrono::seconds(waitSeconds)};
    bool waited = false;
    for (;;) {
        try {
            ConnectDM1(dm, databaseName);
            return;
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
