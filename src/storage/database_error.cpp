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

void ThrowConnectionError(const QString& shownName, const QSqlError& error)
{
    const QString engineText = EDatabaseError::fromSql(error).message();
    // The engine says so only in English, in its message file's fixed words.
    if (engineText.contains(QLatin1String("Database already opened with engine instance")))
        throw EDatabaseBusy(QStringLiteral("База данных занята другой программой: ") + shownName);
    throw EDatabaseError(QStringLiteral("Не удалось открыть базу данных ") + shownName + u'\n' + engineText);
}
