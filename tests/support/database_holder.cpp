#include "support/database_holder.h"

bool DatabaseHolder::hold(const QString& file)
{
    // As installed: the engine's default mode, which takes the file for itself
    // and is refused where programs share it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("FIREBIRD"));
    m_isql.setProcessEnvironment(environment);
    m_isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"), file});
    m_isql.write("select 'held' from rdb$database;\n");
    QByteArray out;
    while (!out.contains("held") && m_isql.waitForReadyRead(30000))
        out += m_isql.readAllStandardOutput();
    return out.contains("held") && m_isql.state() == QProcess::Running;
}

void DatabaseHolder::release()
{
    if (m_isql.state() == QProcess::NotRunning)
        return;
    m_isql.closeWriteChannel();
    m_isql.waitForFinished(30000);
}
