#include "storage/database_error.h"

#include "storage/database_name.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QStringList>

#include <cerrno>
#include <unistd.h>

namespace {

// Whether the engine says it cannot read the database's pages as it wrote
// them. Qt's driver keeps an error's SQLCODE, not the engine's own code, and
// these share theirs (-902) with lost connections and refused files: the
// words tell them apart, in English only, fixed in the engine's message file.
// The code keeps a name quoted in another error from passing for them. Every
// call after a consistency check failed says "can't continue after bugcheck".
bool saysDamaged(const QSqlError& error, const QString& text)
{
    if (error.nativeErrorCode() != QLatin1String("-902"))
        return false;
    static const QRegularExpression damage(
        QStringLiteral("internal Firebird consistency check|continue after bugcheck|database file appears corrupt"
                       "|database corrupted|wrong page type|page \\d+ is of wrong type|damaged data page"
                       "|\\b(data page|record)\\b.*\\bis corrupt|decompression overran buffer|bad checksum"
                       "|checksum error on database page"),
        QRegularExpression::CaseInsensitiveOption);
    return damage.match(text).hasMatch();
}

// The engine's text of an error, else the driver's.
QString textOf(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    return text;
}

// A name as the shell takes it back as itself.
QString shellWord(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+=,-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return u'\'' + QString(word).replace(QStringLiteral("'"), QStringLiteral("'\\''")) + u'\'';
}

// Why a file the engine could open only for reading is refused, in one line.
QString readOnlyText(const QString& shownName)
{
    const QByteArray name = QFile::encodeName(shownName);
    if (!IsServerDatabaseName(shownName) && access(name.constData(), W_OK) != 0 && errno == EROFS)
        return QStringLiteral("База данных %1 на диске только для чтения, а ядро базы данных открывает ее на запись "
                              "даже для чтения")
            .arg(shownName);
    return QStringLiteral("Нет права записи в файл базы данных %1, а ядро базы данных открывает его на запись даже "
                          "для чтения")
        .arg(shownName);
}

} // namespace

QString DamagedDatabaseText(const QString& shownName)
{
    // The distribution's gfix and gbak run the engine in its default mode,
    // which it refuses while a program of ours has the file open. A local
    // file needs them as SYSDBA, and a user but root needs them in this
    // program's lock directory: the default one is the system service's.
    // A server takes the login from ISC_USER and ISC_PASSWORD, as this
    // program does.
    const bool server = IsServerDatabaseName(shownName);
    const QString user = server ? QString() : QStringLiteral("-user sysdba ");
    QString lock;
    if (!server && getuid() != 0 && !qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        lock = QStringLiteral("export FIREBIRD_LOCK=") + shellWord(qEnvironmentVariable("FIREBIRD_LOCK"))
            + QStringLiteral("; ");
    return QStringLiteral("База данных повреждена: %1. Проверьте ее: %2gfix %3-v -full %4; сохраните копию и "
                          "исправьте: gfix %3-mend %4, затем gbak %3-b и -c")
        .arg(shownName, lock, user, shellWord(shownName));
}

EDatabaseError EDatabaseError::fromSql(const QSqlError& error, const QString& shownName)
{
    const QString text = textOf(error);
    if (saysDamaged(error, text))
        return EDatabaseError(DamagedDatabaseText(shownName));
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
    if (saysDamaged(error, textOf(error)))
        throw EDatabaseError(DamagedDatabaseText(shownName));
    // The engine opens a file for writing even to read it, and says so only
    // in English, in its message file's fixed words.
    if (textOf(error).contains(QLatin1String("no permission for read-write access to database")))
        throw EDatabaseError(readOnlyText(shownName));
    const QString engineText = EDatabaseError::fromSql(error, shownName).message();
    // The engine says so only in English, in its message file's fixed words.
    if (engineText.contains(QLatin1String("Database already opened with engine instance")))
        throw EDatabaseBusy(QStringLiteral("База данных занята другой программой: ") + shownName);
    throw EDatabaseError(QStringLiteral("Не удалось открыть базу данных ") + shownName + u'\n' + engineText);
}
