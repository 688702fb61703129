#pragma once

#include "storage/dm1.h"

// Runs body, then commits DM1's transaction, also when body raises (the error
// then goes on, and a failing commit adds nothing to it). A command undoes
// itself when it fails (UndoIfFailed), so what is then committed is what came
// before it.
template<typename Body>
auto CommitAtEnd(TDM1& dm, Body&& body) -> decltype(body())
{
    struct CommitOnError {
        TDM1& dm;
        bool done = false;
        ~CommitOnError()
        {
            if (done)
                return;
            try {
                dm.finish();
            } catch (...) {
            }
        }
    } onError{dm};
    auto result = body();
    onError.done = true;
    dm.finish();
    return result;
}
