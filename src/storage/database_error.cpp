#include "storage/database_error.h"

#include <QSqlError>
#include <QStringList>

EDatabaseError EDatabaseError::fromSql(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    // The engine says so only in English, in its message file's fixed words:
    // an account that may only read, as a nightly check's.
    const qsizetype denied = text.indexOf(QLatin1String("no permission for"));
    if (denied >= 0) {
        // Its own line, or its part of a line the client joined with " - ".
        QString line = text.mid(denied);
        line = line.left(line.indexOf(u'\n')).trimmed();
        line = line.left(line.indexOf(QLatin1String(" - "))).trimmed();
        const bool reading = line.contains(QLatin1String("SELECT access"));
        return EDatabaseError((reading ? QStringLiteral("Нет прав на чтение базы данных: ")
                                       : QStringLiteral("Нет прав на изменение базы данных: "))
                              + line);
    }
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
