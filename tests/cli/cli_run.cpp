#include "cli/cli_run.h"

#include <QFile>
#include <QProcess>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

QString cliPath()
{
    return QStringLiteral(KVAREN_CLI_PATH);
}

Result cli(const QString& dir, const QStringList& args)
{
    return cli(dir, args, QProcessEnvironment::systemEnvironment());
}

Result cli(const QString& dir, const QStringList& args, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.start(cliPath(), args);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Result cliAsOrdinaryUser(const QString& dir, const QStringList& args, const QProcessEnvironment& environment,
                         const QString& program)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    if (geteuid() == 0)
        process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                             QStringLiteral("--clear-groups"), QStringLiteral("--"), program}
                                                     + args);
    else
        process.start(program, args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Result cliWithoutTerminal(const QString& dir, const QStringList& args, const QProcessEnvironment& environment,
                          int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.setChildProcessModifier([] { setsid(); });
    process.start(cliPath(), args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Result cliOnTerminal(const QString& dir, const QStringList& args,
                     const std::function<void(pid_t, const QByteArray& err)>& watch)
{
    int outPipe[2];
    if (pipe(outPipe) != 0)
        return {};
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        close(outPipe[0]);
        if (chdir(QFile::encodeName(dir).constData()) != 0)
            _exit(127);
        const QByteArray program = QFile::encodeName(cliPath());
        std::vector<QByteArray> bytes;
        for (const QString& arg : args)
            bytes.push_back(arg.toUtf8());
        std::vector<char*> argv{const_cast<char*>(program.constData())};
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        execv(program.constData(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    QByteArray out, err;
    char buffer[4096];
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {master, POLLIN, 0}};
        if (poll(fds, 2, 60000) <= 0)
            break;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
            if (n > 0) out.append(buffer, n); else outOpen = false;
        }
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                err.append(buffer, n);
                if (watch)
                    watch(pid, err);
            } else {
                errOpen = false;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(outPipe[0]);
    close(master);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, QString::fromUtf8(out), QString::fromUtf8(err)};
}

