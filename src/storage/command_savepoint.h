#pragma once

#include "common/command_stop.h"
#include "storage/dm1.h"

#include <type_traits>

// A savepoint of DM1's open transaction, set when a command begins.
class CommandSavepoint {
public:
    explicit CommandSavepoint(TDM1& dm);
    // Undoes everything done since the savepoint, where it still stands: a
    // commit since (the check commits its scan) has made that durable. Where
    // the engine cannot roll back to it, the whole transaction is rolled back.
    // Raises nothing: it runs while another error is on its way.
    void undo();
    // Keeps what was done and lets the savepoint go.
    void release();

private:
    bool standing() const;

    TIBTransaction& m_transaction;
    int m_generation;
};

// Whether a command changes the database (add, update, remove) or only reads it.
enum class CommandAccess { Reads, Writes };

// Runs body, a command, inside a savepoint. When the command is stopped
// (ECommandStopped) or fails, everything it did is undone and the stop or the
// error goes on: a command changes the database wholly or not at all, so a
// failing update cannot leave half a baseline behind.
// A command that writes first takes the database's write lock (see
// TIBTransaction::beginWriting), before the savepoint, which a fresh
// transaction would leave behind.
template<typename Body>
auto UndoIfFailed(TDM1& dm, Body&& body, CommandAccess access = CommandAccess::Reads) -> decltype(body())
{
    if (access == CommandAccess::Writes)
        dm.IBTransaction1.beginWriting();
    CommandSavepoint savepoint(dm);
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            savepoint.release();
        } else {
            auto result = body();
            savepoint.release();
            return result;
        }
    } catch (...) {
        savepoint.undo();
        throw;
    }
}
