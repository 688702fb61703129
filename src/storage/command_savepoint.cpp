#include "storage/command_savepoint.h"

static const QString kName = QStringLiteral("KVAREN_COMMAND");

CommandSavepoint::CommandSavepoint(TDM1& dm) : m_transaction(dm.IBTransaction1), m_generation(m_transaction.generation())
{
    // A savepoint of the same name, left by an earlier command, is released by this one.
    m_transaction.executeControl(QStringLiteral("savepoint ") + kName);
}

bool CommandSavepoint::standing() const
{
    return m_transaction.active() && m_transaction.generation() == m_generation;
}

void CommandSavepoint::undo()
{
    if (standing())
        m_transaction.executeControl(QStringLiteral("rollback to savepoint ") + kName);
}

void CommandSavepoint::release()
{
    if (standing())
        m_transaction.executeControl(QStringLiteral("release savepoint ") + kName + QStringLiteral(" only"));
}
