#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

// What a run of kvaren-cli gave: its exit status (-1 when a signal ended it),
// and what it wrote.
struct Result {
    int status = -1;
    QString out;
    QString err;
};

QString cliPath();

// Runs kvaren-cli as a user would, in dir; with environment, in that
// environment instead of the test's own.
Result cli(const QString& dir, const QStringList& args);
Result cli(const QString& dir, const QStringList& args, const QProcessEnvironment& environment);

// Runs kvaren-cli as cli does, but in a session of its own, without a
// controlling terminal, so that nothing can be asked on one; one still
// running after timeoutMs is killed (status -1).
Result cliWithoutTerminal(const QString& dir, const QStringList& args, const QProcessEnvironment& environment,
                          int timeoutMs = 120000);

// Runs program (kvaren-cli, or a copy of it) as an ordinary user would: as
// nobody (uid and gid 65534, no other groups) when the tests run as root,
// else as the test's own user; in dir, in environment.
Result cliAsOrdinaryUser(const QString& dir, const QStringList& args, const QProcessEnvironment& environment,
                         const QString& program = cliPath());

// Runs kvaren-cli with its stderr on a pseudo-terminal and stdout on a pipe.
// watch, when given, sees the program's process and all it has written on
// stderr so far, each time more arrives.
Result cliOnTerminal(const QString& dir, const QStringList& args,
                     const std::function<void(pid_t, const QByteArray& err)>& watch = {});
