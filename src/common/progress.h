#pragma once

#include "common/command_stop.h"

#include <QString>

// Told how far a long command has got. Calls come often (once per file); an
// implementation decides itself how often to show anything. The default shows
// nothing.
//
// Every call is also where a command honours a stop: when one has been asked
// (CommandStop), walking() and judging() raise ECommandStopped instead of
// showing anything, so a command must be ready for them to raise.
class Progress {
public:
    virtual ~Progress() = default;
    // A walk has entered dir, having recorded the given number of files so far.
    void walking(const QString& dir, qint64 recorded)
    {
        StopIfAsked();
        showWalking(dir, recorded);
    }
    // A pass over known rows: done of total.
    void judging(const QString& pass, qint64 done, qint64 total)
    {
        StopIfAsked();
        showJudging(pass, done, total);
    }

protected:
    virtual void showWalking(const QString& dir, qint64 recorded) { (void)dir; (void)recorded; }
    virtual void showJudging(const QString& pass, qint64 done, qint64 total) { (void)pass; (void)done; (void)total; }
};
