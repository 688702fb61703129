#pragma once

#include "storage/dm1.h"

// Runs body, then commits DM1's transaction, also when body raises (the error
// then goes on, and a failing commit adds nothing to it): what a command did
// before its error stays, as in the window, where the next commit makes it
// durable.
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
