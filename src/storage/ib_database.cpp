#include "storage/ib_database.h"

#include "storage/database_error.h"
#include "storage/database_name.h"

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

void TIBDatabase::open()
{
    if (connected())
        return;
    const bool local = !IsServerDatabaseName(m_databaseName);
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
