#include "cli/commands.h"
#include "cli/exit_status.h"
#include "common/command_stop.h"
#include "common/exception.h"
#include "common/program_signals.h"
#include "storage/bounded_detach.h"

#include <QCoreApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    // A signal outside a command ends the program at once; during one it stops
    // the command, which undoes itself.
    InstallProgramSignals(true);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err, isatty(STDERR_FILENO) == 1};
    int status = kExitFailure;
    try {
        status = RunCommand(app.arguments().mid(1), console);
    } catch (const ECommandStopped& stopped) {
        out.flush();
        err << stopped.message() << '\n';
        err.flush();
        EndIfDetachAbandoned(128 + stopped.signal());
        return 128 + stopped.signal();
    } catch (const Exception& error) {
        out.flush();
        err << error.message() << '\n';
    } catch (const std::exception& error) {
        out.flush();
        err << QString::fromLocal8Bit(error.what()) << '\n';
    }
    // A signal that came too late to stop the command (during its last
    // commit, which has then been made) ends the program as it would have
    // outside one, saying so.
    if (const int signal = CommandStop::signal(); signal > 0) {
        out.flush();
        const char* name = sigabbrev_np(signal);
        err << QStringLiteral("Сигнал SIG") << (name ? QString::fromLatin1(name) : QString::number(signal))
            << QStringLiteral(" пришел, когда команда уже сохраняла сделанное: оно сохранено") << '\n';
        err.flush();
        std::signal(signal, SIG_DFL);
        raise(signal);
    }
    out.flush();
    err.flush();
    EndIfDetachAbandoned(status);
    return status;
}
