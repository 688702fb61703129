#include "storage/database_error.h"

#include <QSqlError>

EDatabaseError EDatabaseError::fromSql(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    return EDatabaseError(text);
}
