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
    if (!standing())
        return;
    try {
        m_transaction.executeControl(QStringLiteral("rollback to savepoint ") + kName);
    } catch (const Exception&) {
        // Nothing of the command may be committed, even when its savepoint
        // cannot be rolled back to (a full disk, a lost connection): then the
        // whole transaction goes, and a new one starts for what comes next.
        try {
            m_transaction.rollback();
            m_transaction.startTransaction();
        } catch (const Exception&) {
        }
    }
}

void CommandSavepoint::release()
{
    if (standing())
        m_transaction.executeControl(QStringLiteral("release savepoint ") + kName + QStringLiteral(" only"));
}
