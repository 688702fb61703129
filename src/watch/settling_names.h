#pragma once

#include "check/judge_names.h"

#include <QHash>
#include <QList>

#include <chrono>
#include <list>
#include <optional>

// The names that changed and are waiting to be quiet for a while before they
// are judged: a burst of writes to one file is judged once, after the last
// of them, and a change undone before then is judged as it is then. A tree
// waiting takes in every change below it, and each of them keeps it
// waiting. Times are given, not read, so that the order of things is the
// caller's to decide.
class SettlingNames {
public:
    using Clock = std::chrono::steady_clock;

    explicit SettlingNames(std::chrono::milliseconds quiet) : m_quiet(quiet) {}

    // name changed at now.
    void note(const JudgedName& name, Clock::time_point now);
    // The names quiet since `quiet` before now, or longer, taken out; the
    // longest quiet first.
    QList<JudgedName> takeSettled(Clock::time_point now);
    // Drops every name at or below dir (a check of all of it is to come).
    void forgetBelow(const QString& dir);
    // When the first of those waiting will have been quiet long enough; none
    // when none waits.
    std::optional<Clock::time_point> nextSettled() const;
    bool isEmpty() const { return m_order.empty(); }

private:
    struct Waiting {
        JudgedName name;
        Clock::time_point last;
    };
    void drop(std::list<Waiting>::iterator at);

    const std::chrono::milliseconds m_quiet;
    std::list<Waiting> m_order; // the least recently changed first
    QHash<QString, std::list<Waiting>::iterator> m_at;
    qsizetype m_trees = 0; // how many of those waiting are trees
};
