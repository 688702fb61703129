#pragma once

#include "common/command_stop.h"
#include "storage/dm1.h"

#include <type_traits>

// A savepoint of DM1's open transaction, set when a command begins.
class CommandSavepoint {
public:
    explicit CommandSavepoint(TDM1& dm);
    // Undoes everything done since the savepoint, where it still stands: a
    // commit since (the check commits its scan) has made that durable.
    void undo();
    // Keeps what was done and lets the savepoint go.
    void release();

private:
    bool standing() const;

    TIBTransaction& m_transaction;
    int m_generation;
};

// Runs body, a command, inside a savepoint. When the command is stopped
// (ECommandStopped), everything it did is undone and the stop goes on; when it
// raises an error, what it did before the error stays, as it always has.
template<typename Body>
auto UndoIfStopped(TDM1& dm, Body&& body) -> decltype(body())
{
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
    } catch (const ECommandStopped&) {
        savepoint.undo();
        throw;
    }
}
