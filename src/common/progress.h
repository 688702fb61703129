#pragma once

#include <QString>

// Told how far a long command has got. Calls come often (once per file); an
// implementation decides itself how often to show anything. The default does
// nothing.
class Progress {
public:
    virtual ~Progress() = default;
    // A walk has entered dir, having recorded the given number of files so far.
    virtual void walking(const QString& dir, qint64 recorded) { (void)dir; (void)recorded; }
    // A pass over known rows: done of total.
    virtual void judging(const QString& pass, qint64 done, qint64 total) { (void)pass; (void)done; (void)total; }
};
