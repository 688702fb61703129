#include "storage/ib_database.h"

#include "storage/database_error.h"

#include "common/program_signals.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

TIBDatabase::TIBDatabase(QString connectionName) : m_connectionName(std::move(connectionName)) {}

TIBDatabase::~TIBDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

QString TIBDatabase::param(const QString& name) const
{
    for (const QString& line : Params) {
        qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

// A name like "host:/path" or "host/port:path" goes to a server; anything else
// is a file that the embedded engine opens.
static bool isLocalFile(const QString& name)
{
    qsizetype colon = name.indexOf(u':');
    return colon < 0 || name.startsWith(u'/') || name.startsWith(u'.');
}

void TIBDatabase::open()
{
    if (connected())
        return;
    const bool local = isLocalFile(m_databaseName);
    const QString shownName = local ? QFileInfo(m_databaseName).absoluteFilePath() : m_databaseName;
    if (local && !QFileInfo::exists(m_databaseName))
        throw EDatabaseError(QStringLiteral("Файл базы данных не найден: ") + shownName);

    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
        ? QSqlDatabase::database(m_connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), m_connectionName);
    if (!db.isValid())
        throw EDatabaseError(QStringLiteral("Не найден драйвер базы данных QIBASE"));
    db.setDatabaseName(m_databaseName);
    db.setUserName(param(QStringLiteral("user_name")));
    db.setPassword(param(QStringLiteral("password")));
    QString charset = param(QStringLiteral("lc_ctype"));
    db.setConnectOptions(charset.isEmpty() ? QString() : QStringLiteral("ISC_DPB_LC_CTYPE=") + charset);
    const bool opened = db.open();
    ReclaimProgramSignals();
    if (!opened)
        ThrowConnectionError(shownName, db.lastError());
}

bool TIBDatabase::connected() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TIBDatabase::handle() const
{
    return QSqlDatabase::database(m_connectionName, false);
}
