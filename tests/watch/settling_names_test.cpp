#include "watch/settling_names.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = SettlingNames::Clock;

struct Noted {
    int at; // ms
    JudgedName name;
};

JudgedName file(const char* path) { return {QString::fromUtf8(path), JudgedName::File}; }
JudgedName directory(const char* path) { return {QString::fromUtf8(path), JudgedName::Directory}; }
JudgedName tree(const char* path) { return {QString::fromUtf8(path), JudgedName::Tree}; }

QStringList shown(const QList<JudgedName>& names)
{
    QStringList lines;
    for (const JudgedName& name : names)
        lines.append(QStringLiteral("%1 %2").arg(int(name.scope)).arg(name.path));
    return lines;
}

// With a quiet time of 1,000 ms: what is noted, and what has settled by when.
TEST(SettlingNamesTest, ANameIsToldOnceAfterItsLastChange)
{
    const struct {
        const char* what;
        std::vector<Noted> noted;
        int by; // ms
        QList<JudgedName> settled;
        std::optional<int> next; // when the next of those left settles
    } cases[] = {
        {"not yet quiet", {{0, file("/d/a")}}, 999, {}, 1000},
        {"quiet", {{0, file("/d/a")}}, 1000, {file("/d/a")}, std::nullopt},
        {"a burst is one change, after its last write",
         {{0, file("/d/a")}, {400, file("/d/a")}, {800, file("/d/a")}}, 1500, {}, 1800},
        {"the longest quiet first", {{0, file("/d/b")}, {10, file("/d/a")}, {20, file("/d/b")}}, 2000,
         {file("/d/a"), file("/d/b")}, std::nullopt},
        {"a tree takes in what is below it, before and after",
         {{0, file("/d/t/x")}, {10, tree("/d/t")}, {900, file("/d/t/sub/y")}, {950, directory("/d/t/sub")}}, 1500,
         {}, 1950},
        {"and is told alone", {{0, file("/d/t/x")}, {10, tree("/d/t")}, {20, file("/d/t/y")}}, 1020,
         {tree("/d/t")}, std::nullopt},
        {"a tree does not take in a name beside it", {{0, tree("/d/t")}, {0, file("/d/tt")}}, 1000,
         {tree("/d/t"), file("/d/tt")}, std::nullopt},
        {"a file that became a directory is a tree", {{0, file("/d/a")}, {5, directory("/d/a")}}, 1005,
         {tree("/d/a")}, std::nullopt},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const Clock::time_point start = Clock::now();
        SettlingNames waiting(1000ms);
        for (const Noted& noted : each.noted)
            waiting.note(noted.name, start + std::chrono::milliseconds(noted.at));
        EXPECT_EQ(shown(waiting.takeSettled(start + std::chrono::milliseconds(each.by))), shown(each.settled));
        const auto next = waiting.nextSettled();
        EXPECT_EQ(next.has_value(), each.next.has_value());
        if (next && each.next) {
            EXPECT_EQ(*next, start + std::chrono::milliseconds(*each.next));
        }
        EXPECT_EQ(waiting.isEmpty(), !each.next.has_value());
    }
}

TEST(SettlingNamesTest, ACheckOfAllForgetsWhatWaitsInItsTree)
{
    const Clock::time_point start = Clock::now();
    SettlingNames waiting(1000ms);
    for (const char* path : {"/d/a", "/d/sub/b", "/d2/c", "/e"})
        waiting.note(file(path), start);
    waiting.forgetBelow(QStringLiteral("/d"));
    EXPECT_EQ(shown(waiting.takeSettled(start + 1s)), shown({file("/d2/c"), file("/e")}));
}

} // namespace
